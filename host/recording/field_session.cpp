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
    bool answered = false;
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
    const bool ok = text != nullptr && text->size() / 2 <= kav::kPayloadSize && fromHex(*text, out, false);
    if (!ok) fail(line, std::string("\"") + key + "\" is not a payload's bytes in hex");
    return out;
}

// The part of a SessionError's text after "line N: ".
std::string reason(const SessionError& e) {
    const std::string w = e.what();
    const size_t at = w.find(": ");
    return at == std::string::npos ? w : w.substr(at + 2);
}

// "nCode 0" / "csbID 5" / "hWnd null": an event's arguments with their names.
std::string eventCall(const RecordedEvent& e) {
    const EventMethod* m = findEventMethod(e.method);
    std::string s = e.method + "(";
    size_t next = 0;
    for (size_t i = 0; m && i < m->params.size(); ++i) {
        if (i) s += ", ";
        s += (i < m->paramNames.size() ? m->paramNames[i] : std::string("?")) + " ";
        if (std::string(m->params[i]) == "I4&") s += std::to_string(e.nCode);
        else if (next < e.args.size()) s += jsonLine(e.args[next++]);
    }
    return s + ")" + (e.inDialog ? " inside the dialog" : "");
}

// Reads the file; `lineNo` tells where it stopped.
FieldSession readFieldSession(const std::string& text, int& lineNo) {
    FieldSession f;
    f.field = true;
    std::map<uint32_t, Entry> entries;
    int32_t cmdLine = 0;
    bool header = false, events = false;
    int headerLine = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const bool complete = end != std::string::npos;
        std::string line = text.substr(at, complete ? end - at : std::string::npos);
        at = complete ? end + 1 : text.size();
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const Json o = Json::parse(line, nullptr, false);
        if (o.is_discarded() && !complete && header) {
            f.note = "line " + std::to_string(lineNo) + " is cut off and left out";
            break;
        }
        if (o.is_discarded()) fail(lineNo, "not a JSON value");
        if (!o.is_object()) fail(lineNo, "not a JSON object");
        if (!header) {
            if (o.value("session", Json()) != "kavlink") fail(lineNo, "not a field session (no kavlink header line)");
            if (integer(o, "version", lineNo, 0, INT32_MAX) != 1)
                fail(lineNo, "unknown field session version (kavhost reads 1)");
            f.pid = static_cast<uint32_t>(integer(o, "pid", lineNo, 0, UINT32_MAX));
            f.run = static_cast<int32_t>(integer(o, "run", lineNo, 0, INT32_MAX));
            f.time = o.value("time", "");
            f.beforeInit = o.value("beforeInit", false);
            if (!f.beforeInit) cmdLine = static_cast<int32_t>(integer(o, "cmdline", lineNo, INT32_MIN, INT32_MAX));
            header = true;
            headerLine = lineNo;
            continue;
        }
        const uint32_t seq = static_cast<uint32_t>(integer(o, "seq", lineNo, 1, UINT32_MAX));
        const auto known = entries.find(seq);
        if (o.contains("answer") && !o.contains("message")) {
            if (known == entries.end() || known->second.isEvent)
                fail(lineNo, "an answer for seq " + std::to_string(seq) + ", which is no message sent before it");
            Entry& e = known->second;
            if (e.answered) fail(lineNo, "a second answer for seq " + std::to_string(seq));
            e.answered = true;
            e.answer = static_cast<uint32_t>(integer(o, "answer", lineNo, INT32_MIN, UINT32_MAX));
            e.back = bytes(o, "back", lineNo);
            continue;
        }
        if (known != entries.end())
            fail(lineNo, "seq " + std::to_string(seq) + " also stands on line " + std::to_string(known->second.line));
        Entry e;
        e.line = lineNo;
        if (o.contains("event")) {
            e.isEvent = events = true;
            e.event = o;
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

    // The lines as a kavhost recording, in seq order, read by the one reader
    // of recordings; origin[n] is the field file's line behind line n.
    Json h;
    h["session"] = "kavhost";
    h["version"] = events ? kSessionVersion : 1;
    h["cmdline"] = cmdLine;
    h["script"] = "";
    std::string translated = jsonLine(h) + "\n";
    std::vector<int> origin = {0, headerLine};
    for (const auto& [seq, e] : entries) {
        origin.push_back(e.line);
        if (e.isEvent) {
            translated += jsonLine(e.event) + "\n";
            continue;
        }
        if (!e.answered) f.unanswered.push_back(seq);
        Json r;
        r["seq"] = seq;
        r["message"] = e.message;
        if (e.message == kav::kRequestMessage) {
            r["code"] = e.code;
            r["lParam"] = e.lParam;
            r["request"] = hexText(e.request.data(), e.request.size());
        }
        r["answer"] = e.answer;
        Json writes = Json::array();
        if (!e.back.empty()) writes.push_back(Json{{"offset", 0}, {"bytes", hexText(e.back.data(), e.back.size())}});
        r["writes"] = std::move(writes);
        translated += jsonLine(r) + "\n";
    }
    try {
        f.session = parseSession(translated);
    } catch (const SessionError& e) {
        const size_t at = static_cast<size_t>(e.line);
        throw SessionError(at < origin.size() ? origin[at] : lineNo, reason(e));
    }
    for (RecordedStep& s : f.session.steps) s.line = origin[static_cast<size_t>(s.line)];
    return f;
}

}  // namespace

bool isFieldSession(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    const Json o = Json::parse(text.substr(start, text.find('\n', start) - start), nullptr, false);
    return o.is_object() && o.value("session", Json()) == "kavlink";
}

FieldSession parseFieldSession(const std::string& text) {
    int lineNo = 0;
    try {
        return readFieldSession(text, lineNo);
    } catch (const Json::exception& e) {  // a value of the wrong type
        throw SessionError(lineNo, e.what());
    }
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
