// The events of a field recording: while kavlink.dll records this process
// (kav/field_record.h), every event the component receives from the host
// leaves one line in the open run file, in the shape kavhost records events:
//
//   {"seq":1,"event":"VokProcStartCmd","args":[null,0],"nCode":0,"nCodeOut":1,"hr":"0x00000000"}
//
// The event takes its seq when it arrives (the start event right after
// InitVBCmdLib), before the requests it makes; its line is written when it
// has returned.  An event that arrives while another one runs (from a modal
// loop of the command or of the host) is marked "inDialog".  Recording never
// changes what the event does: every failure here leaves one line on the
// debug output and the event goes on.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace kavcmd_1_1_0 {

// One argument as the line shows it: null (the start event's window), an
// integer, a real or a text.
struct RecordedArgument {
    enum class Kind { Null, Integer, Real, Text } kind;
    int64_t integer = 0;
    double real = 0;
    std::wstring_view text;

    RecordedArgument(std::nullptr_t) : kind(Kind::Null) {}
    RecordedArgument(short v) : kind(Kind::Integer), integer(v) {}
    RecordedArgument(int v) : kind(Kind::Integer), integer(v) {}
    RecordedArgument(LONG v) : kind(Kind::Integer), integer(v) {}
    RecordedArgument(double v) : kind(Kind::Real), real(v) {}
    RecordedArgument(std::wstring_view v) : kind(Kind::Text), text(v) {}
};

class EventRecording {
public:
    // Takes the event's seq when a run file is being recorded.
    explicit EventRecording(const char* method) noexcept;
    ~EventRecording();
    EventRecording(const EventRecording&) = delete;
    EventRecording& operator=(const EventRecording&) = delete;

    // Writes the event's line: its arguments in call order without nCode,
    // the HRESULT and, for the events that have one, nCode as it came in
    // and as it went back.
    void Finish(HRESULT hr, std::initializer_list<RecordedArgument> args, const LONG* nCodeIn = nullptr,
                const LONG* nCodeOut = nullptr) noexcept;

private:
    const char* method_;
    long run_ = 0;  // the run file that the seq belongs to; 0: not recorded
    uint32_t seq_ = 0;
    bool nested_ = false;
};

}  // namespace kavcmd_1_1_0
