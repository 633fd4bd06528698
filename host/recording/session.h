// Recorded sessions and the other JSON lines kavhost writes (--json), read
// and written through nlohmann/json.
//
// --record writes one JSON object per line (UTF-8), the header first:
//
//   {"session":"kavhost","version":2,"cmdline":0,"script":"ui wait \"..\"\n...",
//    "profile":"host-profile.json","profileVersion":1}
//
// ("profile": the host profile the model answered with, the default file's
// name and the overlays; left out with --no-model)
//
// then one line per event the host delivered and per message that arrived,
// in the order in which they happened:
//
//   {"seq":1,"event":"VokProcStartCmd","args":[null,0],"nCode":0,"nCodeOut":1,"hr":"0x00000000"}
//   {"seq":2,"event":"VokProcStringBoxEventHook","args":[5,6,0],"inDialog":true,"hr":"0x00000000"}
//   {"seq":3,"message":1534,"code":1807,"lParam":5,"exports":["VokGetCSBHandle"],
//    "lParamText":"csbID = 5","size":0,"segments":[],"request":"","answer":12289,
//    "writes":[{"offset":18,"bytes":"74 79 70 65 64 00"}]}
//   {"seq":4,"message":1765,"exports":["VokExitCommand"],"answer":1}
//
// seq      events and messages share one sequence, counted from 1; an event
//          takes its number when it is delivered, before the requests that it
//          makes.  Lines appear in this order: kavhost holds back what comes
//          after an event until the event has returned (its result comes
//          last).  A writer that can only append an event's line when the
//          event returns may do so: the reader orders the lines by seq.
// event    the method called.  "args": its arguments in call order, without
//          the by-reference nCode: numbers for I2, I4 and R8 parameters,
//          strings for BSTR.  The start event's first argument, the host
//          window, is null: it is the host's own (a replay passes its own)
//          and would only make recordings of the same run differ.  "nCode" and
//          "nCodeOut": the by-reference nCode as passed in and as it came
//          back, only for the methods that have it (VokProcStartCmd,
//          VokProcEndCmd).  "hr": the HRESULT returned, as 0x and 8 hex
//          digits.  "inDialog": true when it was delivered from inside the
//          command's dialog (a ui event step); left out otherwise.
//          "inside": the seq of the request inside which the host delivered
//          it (an "on KEY event" rule), before it answered; the line then
//          follows that request's line.  Left out otherwise.  The first line
//          after the header is the start event.
// message  1534 (RequestMessage) or 1765 (ExitCommandMessage).  A request
//          has the decoded form of the --json log (code, lParam, exports,
//          lParamText, size, segments, and "problem" when its payload does
//          not fit the layout), "request": its payload bytes in hex, "answer":
//          the 32-bit answer (signed), "writes": the bytes the host wrote back.
//
// replay/replay.h says how a recording is replayed.
//
// Version 1 (no event lines, no inDialog) is still read: its events are the
// header script's event statements, and only the messages are compared.
#pragma once
#include "exchange.h"
#include "input.h"
#include "script/answer_script.h"
#include "script/host_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavhost {

using Json = nlohmann::ordered_json;

inline constexpr int kSessionVersion = 2;

// A recording refused, with its line.
using SessionError = InputError;

// Reads the values of one JSON line of a recording; every refusal names the line.
struct JsonReader {
    const Json& o;
    int line;

    [[noreturn]] void fail(const std::string& why) const { throw SessionError(line, why); }

    const Json* find(const char* key) const {
        const auto it = o.find(key);
        return it == o.end() ? nullptr : &*it;
    }

    int64_t integer(const char* key, int64_t lo, int64_t hi, bool required = true, int64_t otherwise = 0) const {
        const Json* v = find(key);
        if (!v) {
            if (required) fail(std::string("no \"") + key + "\"");
            return otherwise;
        }
        if (!v->is_number_integer()) fail(std::string("\"") + key + "\" is not an integer");
        const int64_t n = v->is_number_unsigned() ? static_cast<int64_t>(std::min<uint64_t>(v->get<uint64_t>(), INT64_MAX))
                                                  : v->get<int64_t>();
        if (n < lo || n > hi) fail(std::string("\"") + key + "\" is out of range");
        return n;
    }
    // A 32-bit value written signed or unsigned.
    uint32_t u32(const char* key, bool required = true) const {
        return static_cast<uint32_t>(integer(key, INT32_MIN, UINT32_MAX, required));
    }
    std::string text(const char* key, bool required = true) const {
        const Json* v = find(key);
        if (!v) {
            if (required) fail(std::string("no \"") + key + "\"");
            return {};
        }
        if (!v->is_string()) fail(std::string("\"") + key + "\" is not a string");
        return v->get<std::string>();
    }
    bool flag(const char* key) const {
        const Json* v = find(key);
        if (v && !v->is_boolean()) fail(std::string("\"") + key + "\" is not true or false");
        return v && v->get<bool>();
    }
    std::vector<uint8_t> hex(const Json& from, const char* key) const {
        std::vector<uint8_t> out;
        const auto it = from.find(key);
        if (it == from.end()) return out;
        if (!it->is_string() || !fromHex(it->get<std::string>(), out))
            fail(std::string("\"") + key + "\" is not a string of hex bytes");
        return out;
    }
};

// One JSON object as one line.  Text that is not UTF-8 is written with
// replacement characters, never refused.
std::string jsonLine(const Json& j);

// A decoded request: code, lParam, exports, lParamText, size, segments[, problem].
Json decodedJson(const Decoded& d);
// The header names the host profile the model answered with ("" and 0: no model).
std::string sessionHeader(int32_t cmdLine, const std::string& scriptText, const std::string& profile = "",
                          int profileVersion = 0);
std::string requestRecord(const LoggedRequest& r);
// The same line appended to `out` (a host reuses one string for every line).
void appendRequestRecord(std::string& out, const LoggedRequest& r);
// An event's arguments as a recording holds them: numbers for I2, I4 and R8,
// strings for BSTR, the by-reference nCode left out.
Json argumentsJson(const std::vector<VARTYPE>& types, const std::vector<std::string>& args);
std::string eventRecord(const DeliveredEvent& e);
// The --json log's line for a message: the decoded request, then seq,
// message, answer and writes.
std::string jsonLogLine(const LoggedRequest& r);

struct RecordedRequest {
    uint32_t message = 0;
    uint32_t code = 0;
    uint32_t lParam = 0;
    std::string exportName;
    std::vector<uint8_t> request;
    uint32_t answer = 0;
    std::vector<PayloadWrite> writes;
};

struct RecordedEvent {
    std::string method;
    Json args = Json::array();  // as recorded (without nCode)
    bool hasCode = false;
    int32_t nCode = 0, nCodeOut = 0;
    long hr = 0;
    bool inDialog = false;
    uint32_t inside = 0;  // the seq of the request it came inside, or 0
};

// One line of a recording after the header.
struct RecordedStep {
    int line = 0;
    uint32_t seq = 0;
    bool isEvent = false;
    RecordedRequest request;
    RecordedEvent event;
    // The event as kavhost delivers it again (arguments as text, nCode in its slot).
    EventCall call() const;
};

struct Session {
    int version = kSessionVersion;
    int32_t cmdLine = 0;
    std::string script;
    std::vector<RecordedStep> steps;  // in the order of their seq
    // Version 2: the events kavhost delivers itself after the start event
    // (those not delivered inside the dialog), in order.
    std::vector<EventCall> events() const;
};

// The names of the exports that send `code` ("A | B"; "" for none), from today's table.
std::string exportNamesOf(uint32_t code);
// One event line: the method, its arguments checked against its parameter
// types, nCode, hr, inDialog and inside; throws SessionError with in.line.
RecordedEvent parseEvent(const JsonReader& in);
// Orders a version 2 session's steps by seq and checks them: no seq twice
// and, with `startFirst`, VokProcStartCmd first and only once (cmdLine then
// comes from it).  `lastLine` is named when there is no step at all.
void finishSession(Session& s, bool startFirst, int lastLine);

// Throws SessionError for anything that is not a recording.  A version 2
// recording begins with VokProcStartCmd, unless `startFirst` is false (the
// field file of requests made before any InitVBCmdLib, which --show reads).
Session parseSession(const std::string& text, bool startFirst = true);

}  // namespace kavhost
