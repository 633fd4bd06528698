#include "recording/field_session.h"

#include "kav/protocol.h"

#include "script/host_text.h"
#include "decode/request_text.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace kavhost {
namespace {

// One seq of the file: an event, or a message with what came after it.
struct Entry {
    int line = 0;
    bool isEvent = false;
    Json event;
    uint32_t message = 0, code = 0, lParam = 0;
    std::vector<uint8_t> request;
    bool answered = false;  // a message's answer, an event's result
    uint32_t answer = 0;
    std::vector<uint8_t> back;
};

[[noreturn]] void fail(int line, const std::string& why) { throw SessionError(line, why); }

int64_t integer(const Json& o, const char* key, int line, int64_t lo, int64_t hi) {
    return JsonReader{o, line}.integer(key, lo, hi);
}

// Two hex digits per byte, nothing between them.
std::vector<uint8_t> bytes(const Json& o, const char* key, int line) {
    std::vector<uint8_t> out;
    const auto it = o.find(key);
    if (it == o.end()) return out;
    const std::string* text = it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
    if (text && text->size() / 2 > kav::kPayloadSize)
        fail(line, std::string("\"") + key + "\" is too long: " + std::to_string(text->size() / 2) +
                       " bytes, the payload area holds " + std::to_string(kav::kPayloadSize));
    if (!text || !fromHex(*text, out, false)) fail(line, std::string("\"") + key + "\" is not a payload's bytes in hex");
    return out;
}

// "nCode 0" / "csbID 5" / "hWnd null": an event's arguments with their names.
std::string eventCall(const RecordedEvent& e) {
    const EventMethod* m = findEventMethod(e.method);
    std::string s = e.method + "(";
    size_t next = 0;
    for (size_t i = 0; m && i < m->params.size(); ++i) {
        if (i) s += ", ";
        s += (i < m->paramNames.size() ? m->paramNames[i] : std::string("?")) + " ";
        if (m->params[i] == kByRefCode) s += std::to_string(e.nCode);
        else if (next < e.args.size()) s += jsonLine(e.args[next++]);
    }
    return s + ")" + (e.inDialog ? " inside the dialog" : "") +
           (e.inside ? " inside request #" + std::to_string(e.inside) : "");
}

// Reads the file; `lineNo` tells where it stopped.
FieldSession readFieldSession(const std::string& text, int& lineNo) {
    FieldSession f;
    f.field = true;
    std::map<uint32_t, Entry> entries;
    int32_t cmdLine = 0;
    bool header = false, events = false, exitAnswered = false;
    std::string closed;
    // Zero bytes at the end (a file whose last blocks never reached the disk) end it.
    const size_t size = text.find_last_not_of('\0') + 1;
    for (size_t at = 0; at < size;) {
        const size_t end = text.find('\n', at);
        const bool complete = end < size;
        std::string line = text.substr(at, (complete ? end : size) - at);
        at = complete ? end + 1 : size;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Json o;
        std::string why;
        const bool parsed = parseJson(line, o, why);
        if (!parsed && !complete && header && !nestsTooDeep(line)) {
            f.note = "line " + std::to_string(lineNo) + " is cut off and left out";
            break;
        }
        if (!parsed) fail(lineNo, "not a JSON value (" + why + ")");
        if (!o.is_object()) fail(lineNo, "not a JSON object");
        if (!header) {
            const JsonReader in{o, lineNo};
            if (o.value("session", Json()) != "kavlink") fail(lineNo, "not a field session (no kavlink header line)");
            f.version = static_cast<int>(in.integer("version", 0, INT32_MAX));
            if (f.version < 1 || f.version > 3) fail(lineNo, "unknown field session version (kavhost reads 1 to 3)");
            f.pid = static_cast<uint32_t>(in.integer("pid", 0, UINT32_MAX));
            f.run = static_cast<int32_t>(in.integer("run", 0, INT32_MAX));
            f.time = in.text("time", false);
            f.beforeInit = in.flag("beforeInit");
            if (!f.beforeInit) cmdLine = static_cast<int32_t>(integer(o, "cmdline", lineNo, INT32_MIN, INT32_MAX));
            header = true;
            continue;
        }
        if (f.version >= 2 && o.contains("closed") && !o.contains("seq")) {
            const Json& why = o["closed"];
            if (!why.is_string()) fail(lineNo, "\"closed\" is not a text");
            closed = why.get<std::string>();
            continue;
        }
        const uint32_t seq = static_cast<uint32_t>(integer(o, "seq", lineNo, 1, UINT32_MAX));
        const auto known = entries.find(seq);
        const bool alone = !o.contains("message") && !o.contains("event") && !o.contains("answer");
        if (f.version >= 2 && alone && o.contains("hr")) {  // an event's result
            if (known == entries.end() || !known->second.isEvent || known->second.answered)
                fail(lineNo, "a result for seq " + std::to_string(seq) + ", which is no event waiting for one");
            Entry& e = known->second;
            e.answered = true;
            for (const char* key : {"hr", "nCodeOut"})
                if (o.contains(key)) e.event[key] = o[key];
            continue;
        }
        if (f.version >= 2 && alone && o.contains("back")) {  // bytes read back after the answer
            if (known == entries.end() || known->second.isEvent || !known->second.answered)
                fail(lineNo, "bytes read back for seq " + std::to_string(seq) + ", which is no answered message");
            std::vector<uint8_t> back = bytes(o, "back", lineNo);
            if (back.size() > known->second.back.size()) known->second.back = std::move(back);
            continue;
        }
        if (o.contains("answer") && !o.contains("message")) {
            if (known == entries.end() || known->second.isEvent)
                fail(lineNo, "an answer for seq " + std::to_string(seq) + ", which is no message sent before it");
            Entry& e = known->second;
            if (e.answered) fail(lineNo, "a second answer for seq " + std::to_string(seq));
            e.answered = true;
            e.answer = static_cast<uint32_t>(integer(o, "answer", lineNo, INT32_MIN, UINT32_MAX));
            e.back = bytes(o, "back", lineNo);
            exitAnswered = exitAnswered || e.message == kav::kExitCommandMessage;
            continue;
        }
        if (known != entries.end())
            fail(lineNo, "seq " + std::to_string(seq) + " also stands on line " + std::to_string(known->second.line));
        Entry e;
        e.line = lineNo;
        if (o.contains("event")) {
            e.isEvent = events = true;
            e.event = o;
            e.event.erase("late");
            e.answered = o.contains("hr");  // version 1 and a late event: one line
        } else if (o.contains("message")) {
            e.message = static_cast<uint32_t>(integer(o, "message", lineNo, 0, UINT32_MAX));
            if (e.message == kav::kRequestMessage) {
                e.code = static_cast<uint32_t>(integer(o, "code", lineNo, 0, UINT32_MAX));
                e.lParam = static_cast<uint32_t>(integer(o, "lParam", lineNo, INT32_MIN, UINT32_MAX));
                e.request = bytes(o, "request", lineNo);
            } else if (e.message != kav::kExitCommandMessage) {
                fail(lineNo, "\"message\" is neither 1534 nor 1765");
            }
        } else {
            fail(lineNo, "neither a message, an answer nor an event");
        }
        entries.emplace(seq, std::move(e));
    }
    if (!header) fail(lineNo, "empty session");

    // The entries are the replay's steps, in seq order, each with the field
    // file's own line.
    Session& session = f.session;
    session.version = events ? kSessionVersion : 1;
    session.cmdLine = cmdLine;
    for (auto& [seq, e] : entries) {
        // An event is whole once it has arrived (one the process died in never returns).
        if (seq == f.wholeUpTo + 1 && (e.answered || e.isEvent)) f.wholeUpTo = seq;
        RecordedStep step;
        step.line = e.line;
        step.seq = seq;
        step.isEvent = e.isEvent;
        if (e.isEvent) {
            if (!e.answered) {  // the process ended inside it
                f.unreturned.push_back(seq);
                e.event["hr"] = "0x8000FFFF";
                if (e.event.contains("nCode")) e.event["nCodeOut"] = e.event["nCode"];
            }
            step.event = parseEvent(JsonReader{e.event, e.line});
        } else {
            if (!e.answered) f.unanswered.push_back(seq);
            RecordedRequest& r = step.request;
            r.message = e.message;
            r.code = e.code;
            r.lParam = e.lParam;
            r.exportName = e.message == kav::kRequestMessage ? exportNamesOf(e.code) : "";
            r.request = std::move(e.request);
            r.answer = e.answer;
            if (!e.back.empty()) r.writes.push_back(PayloadWrite{0, std::move(e.back), ""});
        }
        session.steps.push_back(std::move(step));
    }
    finishSession(session, !f.beforeInit, lineNo);
    if (f.version >= 2 && closed.empty() && !exitAnswered) {
        const std::string ended = "the process ended inside the run: the recording is whole up to seq " +
                                  std::to_string(f.wholeUpTo);
        f.note = f.note.empty() ? ended : ended + "; " + f.note;
    } else if (closed == "size limit") {
        f.note = f.note.empty() ? "the run file stopped at its size limit" : "the run file stopped at its size limit; " + f.note;
    }
    return f;
}

}  // namespace

bool isFieldSession(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    Json o;
    std::string why;
    return parseJson(std::string_view(text).substr(start, text.find('\n', start) - start), o, why) && o.is_object() &&
           o.value("session", Json()) == "kavlink";
}

FieldSession parseFieldSession(const std::string& text) {
    int lineNo = 0;
    try {
        return readFieldSession(text, lineNo);
    } catch (const Json::exception& e) {  // a value of the wrong type
        throw SessionError(lineNo, e.what());
    }
}

FieldSession readSessionFile(const std::string& path) {
    const std::string text = readInput(path, ZeroTail::endsIt);
    if (isFieldSession(text)) return parseFieldSession(text);
    FieldSession f;
    f.session = parseSession(text);
    return f;
}

std::string showFieldSession(const FieldSession& f) {
    std::ostringstream o;
    const Session& s = f.session;
    if (!f.field) o << "kavhost session, command line " << s.cmdLine << "\n";
    else if (f.beforeInit) o << "field session of process " << f.pid << ", " << (f.time.empty() ? "" : f.time + ", ")
                             << "requests before InitVBCmdLib\n";
    else o << "field session of process " << f.pid << ", " << (f.time.empty() ? "" : f.time + ", ") << "run " << f.run
           << ", command line " << s.cmdLine << "\n";
    for (const RecordedStep& step : s.steps) {
        o << "#" << step.seq << " ";
        if (step.isEvent) {
            const RecordedEvent& e = step.event;
            if (std::find(f.unreturned.begin(), f.unreturned.end(), step.seq) != f.unreturned.end()) {
                o << eventCall(e) << "\n    did not return\n";
                continue;
            }
            o << eventCall(e) << "\n    returned " << describeHresult(e.hr);
            if (e.hasCode) o << ", nCode = " << e.nCodeOut;
            o << "\n";
            continue;
        }
        const RecordedRequest& r = step.request;
        const bool answered = std::find(f.unanswered.begin(), f.unanswered.end(), step.seq) == f.unanswered.end();
        const Decoded before = decode(r.code, r.lParam, r.request.data(), r.request.size());
        if (r.message == kav::kExitCommandMessage) o << "ExitCommandMessage (" << kav::kExitCommandMessage << "): the command has ended\n";
        else o << formatText(before);
        if (!answered) {
            o << "    -> no answer recorded\n";
            continue;
        }
        o << "    -> answer " << static_cast<int32_t>(r.answer) << "\n";
        // The payload once the host's writes are in place, for the values they give.
        std::vector<uint8_t> after = r.request;
        for (const PayloadWrite& w : r.writes) {
            after.resize(std::max<size_t>(after.size(), w.offset + w.bytes.size()));
            std::copy(w.bytes.begin(), w.bytes.end(), after.begin() + w.offset);
        }
        const Decoded now = decode(r.code, r.lParam, after.data(), after.size());
        for (const PayloadWrite& w : r.writes)
            o << "    <- wrote " << hexText(w.bytes.data(), w.bytes.size(), 32) << " at @" << w.offset << " ("
              << w.bytes.size() << " bytes" << landing(before, now, w.offset) << ")\n";
    }
    if (!f.note.empty()) o << "(" << f.note << ")\n";
    return o.str();
}

}  // namespace kavhost
