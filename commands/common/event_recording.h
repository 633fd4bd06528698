// The events of a field recording: while kavlink.dll records this process
// (kav/field_record.h), every event the component receives from the host
// leaves its lines in the open run file, in the shape kavhost records events,
// through the library, which owns that file.  The event's line is
// written when the event arrives (the start event right after InitVBCmdLib),
// before the requests it makes, so an event the process dies in is kept:
//
//   {"seq":1,"event":"VokProcStartCmd","args":[null,0],"nCode":0}
//
// and its result when it returns:
//
//   {"seq":1,"hr":"0x00000000","nCodeOut":1}
//
// An event that arrives while another one runs (from a modal loop of the
// command or of the host) is marked "inDialog".  One that arrives before any
// run file is open (a string box hook before any start event, whose requests
// begin the library's file for requests before InitVBCmdLib) has one line,
// written when it returns, marked "late".  Recording never changes what the
// event does: every failure here leaves one line on the debug output and the
// event goes on.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kavcmd {

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
    // Takes the event's seq and writes its line when a run file is being
    // recorded: its arguments in call order without nCode and, for the
    // events that have one, nCode as it came in.
    EventRecording(const char* method, std::initializer_list<RecordedArgument> args,
                   const LONG* nCodeIn = nullptr) noexcept;
    ~EventRecording();
    EventRecording(const EventRecording&) = delete;
    EventRecording& operator=(const EventRecording&) = delete;

    // Writes the event's result: the HRESULT and nCode as it went back.
    void Finish(HRESULT hr, const LONG* nCodeOut = nullptr) noexcept;

private:
    long run_ = 0;  // the run file that the seq belongs to; 0: not recorded
    uint32_t seq_ = 0;
    bool nested_ = false;
    bool hasCode_ = false;
    LONG codeIn_ = 0;
    std::string late_;  // the line of an event that arrived before any run file, without its result
};

}  // namespace kavcmd
