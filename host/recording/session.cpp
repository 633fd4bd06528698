#include "recording/session.h"

#include "script/host_text.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kavhost {
namespace {

// An event argument as recorded: a number for I2, I4 and R8, a string for BSTR.
Json argumentJson(VARTYPE type, const std::string& text) {
    if (type == VT_BSTR) return text;
    if (type == VT_R8) {
        double d = 0;
        parseDouble(text, d);
        return d;
    }
    int64_t n = 0;
    parseInteger(text, n);
    if (type == VT_I2) return static_cast<int16_t>(n);
    return static_cast<int32_t>(n);
}

}  // namespace

Json argumentsJson(const std::vector<VARTYPE>& types, const std::vector<std::string>& args) {
    Json list = Json::array();
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i] != kByRefCode) list.push_back(argumentJson(types[i], i < args.size() ? args[i] : ""));
    return list;
}

std::string exportNamesOf(uint32_t code) {
    std::string names;
    for (const ExportLayout* e : layoutsWithCode(code)) names += (names.empty() ? "" : " | ") + std::string(e->name);
    return names;
}

namespace {

// ------------------------------------------------------------ reading

RecordedRequest parseRequest(const JsonReader& in) {
    RecordedRequest r;
    r.message = in.u32("message");
    if (r.message != kav::kRequestMessage && r.message != kav::kExitCommandMessage)
        in.fail("\"message\" is neither " + std::to_string(kav::kRequestMessage) + " nor " +
                std::to_string(kav::kExitCommandMessage));
    if (const Json* e = in.find("exports"); e && e->is_array())
        for (const Json& n : *e)
            if (n.is_string()) r.exportName += (r.exportName.empty() ? "" : " | ") + n.get<std::string>();
    r.answer = in.u32("answer");
    if (r.message == kav::kExitCommandMessage) return r;
    r.code = in.u32("code");
    r.lParam = in.u32("lParam");
    // The export name from today's table, so that a diff never trusts a stale name.
    if (std::string known = exportNamesOf(r.code); !known.empty()) r.exportName = std::move(known);
    r.request = in.hex(in.o, "request");
    if (r.request.size() > kav::kPayloadSize)
        in.fail("\"request\" is too long: " + std::to_string(r.request.size()) + " bytes, the payload area holds " +
                std::to_string(kav::kPayloadSize));
    if (const Json* ws = in.find("writes")) {
        if (!ws->is_array()) in.fail("\"writes\" is not a list");
        for (const Json& w : *ws) {
            if (!w.is_object()) in.fail("a write is not an object");
            const JsonReader wr{w, in.line};
            PayloadWrite pw;
            pw.offset = wr.u32("offset");
            pw.bytes = wr.hex(w, "bytes");
            if (pw.offset > kav::kPayloadSize || pw.bytes.size() > kav::kPayloadSize - pw.offset)
                in.fail("a write runs past the payload area");
            r.writes.push_back(std::move(pw));
        }
    }
    return r;
}

}  // namespace

RecordedEvent parseEvent(const JsonReader& in) {
    RecordedEvent e;
    e.method = in.text("event");
    const EventMethod* m = findEventMethod(e.method);
    if (!m) in.fail("unknown event method '" + e.method + "'");
    const Json* args = in.find("args");
    if (!args || !args->is_array()) in.fail("\"args\" is not a list");
    std::vector<VARTYPE> types;
    for (const VARTYPE t : m->params)
        if (t != kByRefCode) types.push_back(t);
        else e.hasCode = true;
    if (args->size() != types.size())
        in.fail(e.method + " takes " + std::to_string(types.size()) + " arguments besides nCode, the line has " +
                std::to_string(args->size()));
    for (size_t i = 0; i < types.size(); ++i) {
        const Json& a = (*args)[i];
        const VARTYPE t = types[i];
        if (i == 0 && e.method == "VokProcStartCmd" && a.is_null()) continue;  // the host window, not recorded
        const bool fits = t == VT_BSTR ? a.is_string()
                        : t == VT_R8   ? a.is_number()
                        : a.is_number_integer() &&
                              (a.is_number_unsigned() ? a.get<uint64_t>() <= (t == VT_I2 ? 32767u : UINT32_MAX)
                                                      : a.get<int64_t>() >= (t == VT_I2 ? -32768 : INT32_MIN));
        if (!fits)
            in.fail("argument " + std::to_string(i + 1) + " of " + e.method + " must be " +
                    (t == VT_BSTR ? "a string" : t == VT_R8 ? "a number" : t == VT_I2 ? "a 16-bit integer" : "a 32-bit integer"));
    }
    e.args = *args;
    if (e.hasCode) {
        e.nCode = static_cast<int32_t>(in.integer("nCode", INT32_MIN, INT32_MAX));
        e.nCodeOut = static_cast<int32_t>(in.integer("nCodeOut", INT32_MIN, INT32_MAX));
    }
    const std::string hr = in.text("hr");
    const bool hex = hr.size() == 10 && hr.compare(0, 2, "0x") == 0 &&
                     hr.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (!hex) in.fail("\"hr\" is not 0x and 8 hex digits");
    const unsigned long v = std::strtoul(hr.c_str() + 2, nullptr, 16);
    e.hr = static_cast<long>(v);
    if (const Json* d = in.find("inDialog")) {
        if (!d->is_boolean()) in.fail("\"inDialog\" is not true or false");
        e.inDialog = d->get<bool>();
    }
    e.inside = static_cast<uint32_t>(in.integer("inside", 1, UINT32_MAX, false));
    return e;
}

// ------------------------------------------------------------ writing

std::string jsonLine(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json decodedJson(const Decoded& d) {
    Json o;
    o["code"] = d.code;
    o["lParam"] = d.lParam;
    o["exports"] = d.names;
    o["lParamText"] = d.lParamText;
    o["size"] = d.total;
    Json segments = Json::array();
    for (const DecodedSegment& s : d.segments)
        segments.push_back(Json{{"name", s.name}, {"offset", s.offset}, {"size", s.size}, {"value", s.value}});
    o["segments"] = std::move(segments);
    if (!d.problem.empty()) o["problem"] = d.problem;
    return o;
}

std::string sessionHeader(int32_t cmdLine, const std::string& scriptText, const std::string& profile, int profileVersion) {
    Json o;
    o["session"] = "kavhost";
    o["version"] = kSessionVersion;
    o["cmdline"] = cmdLine;
    o["script"] = scriptText;
    if (!profile.empty()) {
        o["profile"] = profile;
        o["profileVersion"] = profileVersion;
    }
    return jsonLine(o);
}

namespace {

// The line of a message, written straight into a string in the form
// jsonLine gives it: no spaces, keys in the order below, strings escaped as
// the JSON library escapes them.  A string with bytes beyond ASCII goes
// through the library itself, which also replaces invalid UTF-8.
struct LineWriter {
    std::string& out;
    bool first = true;

    template <size_t N> void key(const char (&k)[N]) {
        out.append(first ? "\"" : ",\"", first ? 1 : 2);
        first = false;
        out.append(k, N - 1);
        out.append("\":", 2);
    }
    void number(int64_t n) {
        char b[24];
        out.append(b, std::to_chars(b, b + sizeof b, n).ptr);
    }
    void string(std::string_view s) {
        const auto plain = [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
        };
        if (std::all_of(s.begin(), s.end(), plain)) {
            out += '"';
            out.append(s);
            out += '"';
            return;
        }
        if (std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            out += jsonLine(Json(std::string(s)));
            return;
        }
        out += '"';
        for (const char c : s) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char digits[] = "0123456789abcdef";
                    out += "\\u00";
                    out += digits[(c >> 4) & 15];
                    out += digits[c & 15];
                } else {
                    out += c;
                }
            }
        }
        out += '"';
    }
    // Bytes as hexText writes them ("0A 1B"), quoted.
    void hex(const uint8_t* p, size_t n) {
        out += '"';
        appendHex(out, p, n);
        out += '"';
    }
    void decoded(const Decoded& d) {
        key("code"), number(d.code);
        key("lParam"), number(d.lParam);
        key("exports"), out += '[';
        for (size_t i = 0; i < d.names.size(); ++i) {
            if (i) out += ',';
            string(d.names[i]);
        }
        out += ']';
        key("lParamText"), string(d.lParamText);
        key("size"), number(d.total);
        key("segments"), out += '[';
        for (size_t i = 0; i < d.segments.size(); ++i) {
            const DecodedSegment& s = d.segments[i];
            out += i ? ",{" : "{";
            LineWriter inner{out};
            inner.key("name"), inner.string(s.name);
            inner.key("offset"), inner.number(s.offset);
            inner.key("size"), inner.number(s.size);
            inner.key("value"), inner.string(s.value);
            out += '}';
        }
        out += ']';
        if (!d.problem.empty()) key("problem"), string(d.problem);
    }
};

// The one writer of a message's line.  A recording carries the payload as it
// arrived ("request") and needs no write's size; the --json log shows each
// write's size and leaves the raw payload to its segments.  The log leads
// with the decoded request, a recording with its number.
enum class Form { recording, log };

void messageLine(std::string& out, const LoggedRequest& r, Form form) {
    const bool exit = r.message == kav::kExitCommandMessage;
    out += '{';
    LineWriter w{out};
    if (form == Form::log && !exit) w.decoded(r.decoded);
    w.key("seq"), w.number(r.seq);
    w.key("message"), w.number(r.message);
    if (exit) {
        w.key("exports"), out += "[\"VokExitCommand\"]";
    } else if (form == Form::recording) {
        w.decoded(r.decoded);
        w.key("request"), w.hex(r.request.data(), r.request.size());
    }
    w.key("answer"), w.number(static_cast<int32_t>(r.reply.answer));
    if (!exit) {
        w.key("writes"), out += '[';
        for (size_t i = 0; i < r.reply.writes.size(); ++i) {
            const PayloadWrite& pw = r.reply.writes[i];
            out += i ? ",{" : "{";
            LineWriter inner{out};
            inner.key("offset"), inner.number(pw.offset);
            if (form == Form::log) inner.key("size"), inner.number(static_cast<int64_t>(pw.bytes.size()));
            inner.key("bytes"), inner.hex(pw.bytes.data(), pw.bytes.size());
            out += '}';
        }
        out += ']';
    }
    out += '}';
}

}  // namespace

void appendRequestRecord(std::string& out, const LoggedRequest& r) { messageLine(out, r, Form::recording); }

std::string requestRecord(const LoggedRequest& r) {
    std::string s;
    messageLine(s, r, Form::recording);
    return s;
}

std::string eventRecord(const DeliveredEvent& e) {
    Json o;
    o["seq"] = e.seq;
    o["event"] = e.method;
    o["args"] = argumentsJson(e.types, e.args);
    if (e.method == "VokProcStartCmd" && !o["args"].empty()) o["args"][0] = nullptr;  // the host's own window
    if (e.codeSlot() >= 0) {
        o["nCode"] = e.nCodeIn();
        o["nCodeOut"] = e.nCodeOut;
    }
    if (e.inDialog) o["inDialog"] = true;
    if (e.inside) o["inside"] = e.inside;
    o["hr"] = hex32(static_cast<uint32_t>(e.hr));
    return jsonLine(o);
}

std::string jsonLogLine(const LoggedRequest& r) {
    std::string s;
    messageLine(s, r, Form::log);
    return s;
}

// ------------------------------------------------------------ reading

EventCall RecordedStep::call() const {
    EventCall c;
    c.method = event.method;
    c.line = line;
    c.origin = "recording";
    const EventMethod* m = findEventMethod(event.method);
    size_t next = 0;
    for (const VARTYPE t : m ? m->params : std::vector<VARTYPE>{}) {
        if (t == kByRefCode) {
            c.args.push_back(std::to_string(event.nCode));
            continue;
        }
        const Json& a = event.args[next++];
        if (a.is_null()) {
            c.args.push_back("0");  // the start event's window: the replaying host passes its own
        } else if (a.is_string()) {
            c.args.push_back(a.get<std::string>());
        } else if (a.is_number_integer()) {
            c.args.push_back(a.is_number_unsigned() ? std::to_string(a.get<uint64_t>()) : std::to_string(a.get<int64_t>()));
        } else {
            char b[40];
            std::snprintf(b, sizeof b, "%.17g", a.get<double>());
            c.args.push_back(b);
        }
    }
    return c;
}

std::vector<EventCall> Session::events() const {
    std::vector<EventCall> out;
    bool start = true;
    for (const RecordedStep& s : steps) {
        if (!s.isEvent || s.event.inDialog || s.event.inside) continue;
        if (!start) out.push_back(s.call());
        start = false;
    }
    return out;
}

Session parseSession(const std::string& text, bool startFirst) {
    Session s;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool header = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Json o;
        if (std::string why; !parseJson(line, o, why)) throw SessionError(lineNo, "not a JSON value (" + why + ")");
        if (!o.is_object()) throw SessionError(lineNo, "not a JSON object");
        const JsonReader r{o, lineNo};
        if (!header) {
            const Json* tag = r.find("session");
            if (!tag || *tag != "kavhost") throw SessionError(lineNo, "not a kavhost session (no header line)");
            s.version = static_cast<int>(r.integer("version", 0, INT32_MAX));
            if (s.version != 1 && s.version != kSessionVersion)
                throw SessionError(lineNo, "unknown session version " + std::to_string(s.version) + " (kavhost reads 1 and " +
                                               std::to_string(kSessionVersion) + ")");
            s.cmdLine = static_cast<int32_t>(r.integer("cmdline", INT32_MIN, INT32_MAX, false));
            s.script = r.text("script", false);
            header = true;
            continue;
        }
        RecordedStep step;
        step.line = lineNo;
        step.seq = static_cast<uint32_t>(r.integer("seq", 1, UINT32_MAX, s.version >= 2));
        step.isEvent = r.find("event") != nullptr;
        if (step.isEvent && s.version < 2) throw SessionError(lineNo, "an event line in a version 1 session");
        if (step.isEvent) step.event = parseEvent(r);
        else step.request = parseRequest(r);
        s.steps.push_back(std::move(step));
    }
    if (!header) throw SessionError(lineNo, "empty session");
    finishSession(s, startFirst, lineNo);
    return s;
}

void finishSession(Session& s, bool startFirst, int lastLine) {
    if (s.version < 2) return;
    std::stable_sort(s.steps.begin(), s.steps.end(), [](const RecordedStep& a, const RecordedStep& b) { return a.seq < b.seq; });
    for (size_t i = 1; i < s.steps.size(); ++i)
        if (s.steps[i].seq == s.steps[i - 1].seq)
            throw SessionError(s.steps[i].line, "seq " + std::to_string(s.steps[i].seq) + " also stands on line " +
                                                    std::to_string(s.steps[i - 1].line));
    if (!startFirst) return;
    if (s.steps.empty() || !s.steps[0].isEvent || s.steps[0].event.method != "VokProcStartCmd" || s.steps[0].event.inDialog)
        throw SessionError(s.steps.empty() ? lastLine : s.steps[0].line, "the session does not begin with VokProcStartCmd");
    for (size_t i = 1; i < s.steps.size(); ++i)
        if (s.steps[i].isEvent && s.steps[i].event.method == "VokProcStartCmd")
            throw SessionError(s.steps[i].line, "a second VokProcStartCmd");
    const Json& start = s.steps[0].event.args;
    s.cmdLine = static_cast<int32_t>(start.size() > 1 && start[1].is_number_integer() ? start[1].get<int64_t>() : s.cmdLine);
}

}  // namespace kavhost
