// What passes between the rooms of kavhost: the request as it arrived and
// the reply the host gave, the event delivered to the command, and the source
// that answers in place of the script (a replay).  Only the decoder lies
// below this header; everything else includes it, nothing here includes back.
#pragma once
#include "decode/decoder.h"

#include <wtypes.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavhost {

// The type of an event parameter as the frame's event table has it: VT_I2,
// VT_I4, VT_R8 or VT_BSTR, and kByRefCode for the nCode passed by reference.
inline constexpr VARTYPE kByRefCode = VT_I4 | VT_BYREF;

struct PayloadWrite {
    uint32_t offset = 0;
    std::vector<uint8_t> bytes;
    std::string shown;  // the value as the script wrote it ("i32 5", "text \"ok\""), for the log
    // Or, for an answer written unformatted, the segment whose form the log
    // shows the bytes in (formatted only when a readable log is written).
    const SegmentLayout* shownAs = nullptr;
};

// An event for the host to deliver: the arguments in call order as text (the
// by-reference nCode's slot holds the value passed in).
struct EventCall {
    std::string method;
    std::vector<std::string> args;
    int line = 0;
    const char* origin = "script";  // where `line` counts: "script" or "recording"
    // "VokProcButtonEvent (script line 4)"
    std::string label() const { return method + " (" + origin + " line " + std::to_string(line) + ")"; }
};

// What the host answers to one request.
struct Reply {
    uint32_t answer = 0;
    std::vector<PayloadWrite> writes;
    std::string source;  // "script line 4", "model", "recording line 9", "default"
    // An event the host delivers inside the request before it answers: the
    // host reads the request, delivers the event, puts the request's payload
    // back and then writes the answer.
    std::optional<EventCall> inside{};
    // The answer is the layout table's default: no rule, model or recording gave one.
    bool defaultAnswer = false;
    // Offsets of out segments the answer leaves as sent on purpose: the
    // places of solutions beyond the ones it found (a count of 2 leaves the
    // third and fourth result alone).  They are not unwritten.
    std::vector<uint32_t> noSolution{};

    // Empties the reply in place; the storage of its writes is kept for the
    // next ones, so that a reply made again and again allocates nothing.
    void reuse() {
        answer = 0;
        for (PayloadWrite& w : writes) spareWrites.push_back(std::move(w));
        writes.clear();
        source.clear();
        inside.reset();
        defaultAnswer = false;
        noSolution.clear();
    }
    // Adds a write of `n` bytes at `offset`, in storage that reuse() kept.
    PayloadWrite& write(uint32_t offset, const void* p, size_t n) {
        if (spareWrites.empty()) {
            writes.emplace_back();
        } else {
            writes.push_back(std::move(spareWrites.back()));
            spareWrites.pop_back();
        }
        PayloadWrite& w = writes.back();
        w.offset = offset;
        w.bytes.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        w.shown.clear();
        w.shownAs = nullptr;
        return w;
    }
    std::vector<PayloadWrite> spareWrites{};  // the storage reuse() kept
};

struct LoggedRequest {
    uint32_t seq = 0;
    uint32_t message = 0;          // 1534 or 1765
    Decoded decoded;
    std::vector<uint8_t> request;  // the request's payload bytes as they arrived
    Reply reply;
};

// An event the host delivers to the command.  The runner fills in the call;
// the host numbers it (requests and events share one sequence) and the
// runner adds the result.
struct DeliveredEvent {
    uint32_t seq = 0;
    std::string method;
    std::vector<VARTYPE> types;      // the method's parameter types (answer_script.h)
    std::vector<std::string> args;   // in call order; the by-reference nCode's slot holds its value in
    std::string label;               // "VokProcButtonEvent (script line 4)", for messages
    bool inDialog = false;           // delivered by a ui step, inside the command's dialog
    uint32_t inside = 0;             // the seq of the request inside which it was delivered, or 0
    long hr = 0;
    int32_t nCodeOut = 0;            // what came back in nCode
    // The slot of the by-reference nCode, or -1 when the method has none.
    int codeSlot() const;
    int32_t nCodeIn() const;
};

// Answers in place of the script, for instance from a recorded session,
// and watches the events delivered.
class ReplySource {
public:
    virtual ~ReplySource() = default;
    // `request` is what arrived; the reply's writes go into the payload area.
    virtual Reply reply(const LoggedRequest& request) = 0;
    // Before an event is delivered; false keeps it from being delivered.
    virtual bool delivering(const DeliveredEvent&) { return true; }
    // After the event has returned, with its result.
    virtual void returned(const DeliveredEvent&) {}
    // The session delivers nothing more.
    virtual void sessionEnds(bool /*commandEnded*/) {}
    // What the source expects next ("the next recorded request, ..."), or "".
    virtual std::string waitingFor() const { return {}; }
};

}  // namespace kavhost
