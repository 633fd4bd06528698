#include "recording/session.h"

#include "script/host_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kavhost {
namespace {

Json writesJson(const std::vector<PayloadWrite>& writes, bool withSize) {
    Json list = Json::array();
    for (const PayloadWrite& w : writes) {
        Json o;
        o["offset"] = w.offset;
        if (withSize) o["size"] = w.bytes.size();
        o["bytes"] = hexText(w.bytes.data(), w.bytes.size());
        list.push_back(std::move(o));
    }
    return list;
}

// An event argument as recorded: a number for I2, I4 and R8, a string for BSTR.
Json argumentJson(const std::string& type, const std::string& text) {
    if (type == "BSTR") return text;
    if (type == "R8") {
        double d = 0;
        parseDouble(text, d);
        return d;
    }
    int64_t n = 0;
    parseInteger(text, n);
    if (type == "I2") return static_cast<int16_t>(n);
    return static_cast<int32_t>(n);
}

// The event's arguments as the recording holds them (nCode left out).
Json argumentsJson(const std::vector<const char*>& types, const std::vector<std::string>& args) {
    Json list = Json::array();
    for (size_t i = 0; i < types.size(); ++i)
        if (std::string(types[i]) != "I4&") list.push_back(argumentJson(types[i], i < args.size() ? args[i] : ""));
    return list;
}

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
    if (const std::vector<const ExportLayout*> known = layoutsForCode(r.code); !known.empty()) {
        r.exportName.clear();
        for (const ExportLayout* e : known) r.exportName += (r.exportName.empty() ? "" : " | ") + std::string(e->name);
    }
    r.request = in.hex(in.o, "request");
    if (r.request.size() > kav::kPayloadSize) in.fail("the request is larger than the payload area");
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

RecordedEvent parseEvent(const JsonReader& in) {
    RecordedEvent e;
    e.method = in.text("event");
    const EventMethod* m = findEventMethod(e.method);
    if (!m) in.fail("unknown event method '" + e.method + "'");
    const Json* args = in.find("args");
    if (!args || !args->is_array()) in.fail("\"args\" is not a list");
    std::vector<std::string> types;
    for (const char* t : m->params)
        if (std::string(t) != "I4&") types.push_back(t);
        else e.hasCode = true;
    if (args->size() != types.size())
        in.fail(e.method + " takes " + std::to_string(types.size()) + " arguments besides nCode, the line has " +
                std::to_string(args->size()));
    for (size_t i = 0; i < types.size(); ++i) {
        const Json& a = (*args)[i];
        const std::string& t = types[i];
        if (i == 0 && e.method == "VokProcStartCmd" && a.is_null()) continue;  // the host window, not recorded
        const bool fits = t == "BSTR" ? a.is_string()
                        : t == "R8"   ? a.is_number()
                        : a.is_number_integer() &&
                              (a.is_number_unsigned() ? a.get<uint64_t>() <= (t == "I2" ? 32767u : UINT32_MAX)
                                                      : a.get<int64_t>() >= (t == "I2" ? -32768 : INT32_MIN));
        if (!fits)
            in.fail("argument " + std::to_string(i + 1) + " of " + e.method + " must be " +
                    (t == "BSTR" ? "a string" : t == "R8" ? "a number" : t == "I2" ? "a 16-bit integer" : "a 32-bit integer"));
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

std::string what(const std::string& exportName, uint32_t message, uint32_t code) {
    if (message == kav::kExitCommandMessage) return "ExitCommandMessage (VokExitCommand)";
    return (exportName.empty() ? std::string("an unknown export") : exportName) + " (code " + std::to_string(code) + ")";
}

std::string what(const LoggedRequest& r) {
    return what(r.message == kav::kExitCommandMessage ? "" : r.decoded.nameText(), r.message, r.decoded.code);
}

// An event as the recording has it: "VokProcButtonEvent(7, 8, 1) inside the dialog".
std::string shown(const RecordedEvent& e) {
    std::string args;
    for (const Json& a : e.args) args += (args.empty() ? "" : ", ") + jsonLine(a);
    return e.method + "(" + args + ")" + (e.inDialog ? " inside the dialog" : "") +
           (e.inside ? " inside request seq " + std::to_string(e.inside) : "");
}

// Which segment holds `offset`; -1 for none.
int segmentAt(const Decoded& d, uint32_t offset) {
    for (size_t i = 0; i < d.segments.size(); ++i)
        if (offset >= d.segments[i].offset && offset < d.segments[i].offset + d.segments[i].size) return static_cast<int>(i);
    return -1;
}

std::string bytesOf(const std::vector<uint8_t>& b, uint32_t from, uint32_t size) {
    if (from >= b.size()) return "(none)";
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(b.size()) - from);
    return n ? hexText(b.data() + from, n, 32) : "(none)";
}

}  // namespace

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

std::string requestRecord(const LoggedRequest& r) {
    Json o;
    o["seq"] = r.seq;
    o["message"] = r.message;
    if (r.message == kav::kExitCommandMessage) {
        o["exports"] = {"VokExitCommand"};
    } else {
        o.update(decodedJson(r.decoded));
        o["request"] = hexText(r.request.data(), r.request.size());
    }
    o["answer"] = static_cast<int32_t>(r.reply.answer);
    if (r.message != kav::kExitCommandMessage) o["writes"] = writesJson(r.reply.writes, false);
    return jsonLine(o);
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
    Json o;
    if (r.message == kav::kExitCommandMessage) {
        o["seq"] = r.seq;
        o["message"] = r.message;
        o["exports"] = {"VokExitCommand"};
        o["answer"] = static_cast<int32_t>(r.reply.answer);
        return jsonLine(o);
    }
    o = decodedJson(r.decoded);
    o["seq"] = r.seq;
    o["message"] = r.message;
    o["answer"] = static_cast<int32_t>(r.reply.answer);
    o["writes"] = writesJson(r.reply.writes, true);
    return jsonLine(o);
}

// ------------------------------------------------------------ reading

EventCall RecordedStep::call() const {
    EventCall c;
    c.method = event.method;
    c.line = line;
    c.origin = "recording";
    const EventMethod* m = findEventMethod(event.method);
    size_t next = 0;
    for (const char* t : m ? m->params : std::vector<const char*>{}) {
        if (std::string(t) == "I4&") {
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
        try {
            o = Json::parse(line);
        } catch (const Json::parse_error& e) {
            std::string why = e.what();
            if (const size_t at = why.find("] "); at != std::string::npos) why.erase(0, at + 2);
            throw SessionError(lineNo, "not a JSON value (" + why + ")");
        }
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
    if (s.version < 2) return s;
    std::stable_sort(s.steps.begin(), s.steps.end(), [](const RecordedStep& a, const RecordedStep& b) { return a.seq < b.seq; });
    for (size_t i = 1; i < s.steps.size(); ++i)
        if (s.steps[i].seq == s.steps[i - 1].seq)
            throw SessionError(s.steps[i].line, "seq " + std::to_string(s.steps[i].seq) + " also stands on line " +
                                                    std::to_string(s.steps[i - 1].line));
    if (!startFirst) return s;
    if (s.steps.empty() || !s.steps[0].isEvent || s.steps[0].event.method != "VokProcStartCmd" || s.steps[0].event.inDialog)
        throw SessionError(s.steps.empty() ? lineNo : s.steps[0].line, "the session does not begin with VokProcStartCmd");
    for (size_t i = 1; i < s.steps.size(); ++i)
        if (s.steps[i].isEvent && s.steps[i].event.method == "VokProcStartCmd")
            throw SessionError(s.steps[i].line, "a second VokProcStartCmd");
    const Json& start = s.steps[0].event.args;
    s.cmdLine = static_cast<int32_t>(start.size() > 1 && start[1].is_number_integer() ? start[1].get<int64_t>() : s.cmdLine);
    return s;
}

// ------------------------------------------------------------ comparing

std::string describeDifference(uint32_t number, const RecordedRequest& e, int line, const LoggedRequest& a) {
    const std::string head = "request #" + std::to_string(number);
    const std::string actualName = a.message == kav::kExitCommandMessage ? "" : a.decoded.nameText();
    if (e.message != a.message || e.code != a.decoded.code)
        return head + ": expected " + what(e.exportName, e.message, e.code) + " (recording line " +
               std::to_string(line) + "), the command made " + what(actualName, a.message, a.decoded.code);
    if (a.message == kav::kExitCommandMessage) return "";
    const std::string where = head + ", " + what(actualName, a.message, a.decoded.code);
    const Decoded expected = decode(e.code, e.lParam, e.request.data(), e.request.size());
    if (e.lParam != a.decoded.lParam)
        return where + ": lParam differs\n  expected " + hex32(e.lParam) +
               (expected.lParamText.empty() ? "" : " (" + expected.lParamText + ")") + "\n  actual   " +
               hex32(a.decoded.lParam) + (a.decoded.lParamText.empty() ? "" : " (" + a.decoded.lParamText + ")");
    const std::vector<uint8_t>& x = e.request;
    const std::vector<uint8_t>& y = a.request;
    uint32_t at = 0;
    while (at < x.size() && at < y.size() && x[at] == y[at]) ++at;
    if (at == x.size() && at == y.size()) return "";
    const int si = segmentAt(a.decoded, at) >= 0 ? segmentAt(a.decoded, at) : segmentAt(expected, at);
    std::string s = where + ": ";
    if (si < 0) {
        return s + "the request has " + std::to_string(y.size()) + " payload bytes, the recording " +
               std::to_string(x.size()) + " (first difference at payload offset " + std::to_string(at) + ")";
    }
    const size_t i = static_cast<size_t>(si);
    const DecodedSegment* es = i < expected.segments.size() ? &expected.segments[i] : nullptr;
    const DecodedSegment* as = i < a.decoded.segments.size() ? &a.decoded.segments[i] : nullptr;
    const DecodedSegment& seg = as ? *as : *es;
    s += "segment " + seg.name + " differs at payload offset " + std::to_string(at) + " (byte " +
         std::to_string(at - seg.offset) + " of the segment)";
    s += "\n  expected " + (es ? bytesOf(x, es->offset, es->size) + "  (" + es->name + " = " + es->value + ")" : "(none)");
    s += "\n  actual   " + (as ? bytesOf(y, as->offset, as->size) + "  (" + as->name + " = " + as->value + ")" : "(none)");
    return s;
}

Replayer::Replayer(const Session& session, std::function<void(const std::string&)> onDifference)
    : version_(session.version), steps_(session.steps), onDifference_(std::move(onDifference)) {
    for (const RecordedStep& s : steps_) recordedRequests_ += s.isEvent ? 0 : 1;
}

void Replayer::differ(const std::string& diff) {
    if (!difference_.empty()) return;
    difference_ = diff;
    if (onDifference_) onDifference_(diff);
}

// The recording's next step is a request that did not come.
std::string Replayer::nextRequestMissing(const std::string& instead) const {
    const RecordedStep& s = steps_[next_];
    // Numbered as the log numbers it: the recording's seq for the request that did not come.
    return "request #" + std::to_string(s.seq ? s.seq : requests_ + 1) + ": the recording has " +
           what(s.request.exportName, s.request.message, s.request.code) + " next (line " + std::to_string(s.line) +
           "), but " + instead;
}

Reply Replayer::reply(const LoggedRequest& r) {
    Reply out;
    out.source = "replay stopped";
    if (differed()) return out;
    ++requests_;
    const uint32_t number = r.seq;  // as the log, --show and the recording's seq number it
    stoppedAt_ = r.seq;             // until the request turns out to be the recorded one
    if (next_ >= steps_.size()) {
        differ("request #" + std::to_string(number) + ": the command made " + what(r) + ", but the recording ends after " +
               std::to_string(recordedRequests_) + " requests");
        return out;
    }
    const RecordedStep& s = steps_[next_];
    if (s.isEvent) {
        differ("request #" + std::to_string(number) + ": the command made " + what(r) +
               ", but the recording has no more requests before " + s.event.method + " (line " + std::to_string(s.line) + ")");
        return out;
    }
    ++next_;
    if (const std::string diff = describeDifference(number, s.request, s.line, r); !diff.empty()) {
        expected_ = &s.request;
        differ(diff);
        return out;
    }
    stoppedAt_ = 0;
    out.answer = s.request.answer;
    out.writes = s.request.writes;
    out.source = "recording line " + std::to_string(s.line);
    if (next_ < steps_.size() && steps_[next_].isEvent && steps_[next_].event.inside == s.seq)
        out.inside = steps_[next_].call();
    return out;
}

bool Replayer::delivering(const DeliveredEvent& e) {
    if (differed()) return false;
    if (version_ < 2) return true;
    if (next_ >= steps_.size()) {
        differ(e.label + ": the recording has no more events");
        return false;
    }
    const RecordedStep& s = steps_[next_];
    if (!s.isEvent) {
        differ(nextRequestMissing("the command made no more requests before " + e.label));
        return false;
    }
    Json args = argumentsJson(e.types, e.args);
    Json recorded = s.event.args;
    if (e.method == "VokProcStartCmd" && !args.empty() && !recorded.empty()) args[0] = recorded[0] = nullptr;  // the window
    if (e.method != s.event.method || e.inDialog != s.event.inDialog || (e.inside != 0) != (s.event.inside != 0) ||
        args != recorded || e.nCodeIn() != s.event.nCode) {
        const RecordedEvent delivered{e.method, args, false, 0, 0, 0, e.inDialog, e.inside};
        differ(e.label + ": kavhost delivers " + shown(delivered) + ", the recording " + shown(s.event) + " (line " +
               std::to_string(s.line) + ")");
        return false;
    }
    open_.push_back(next_++);
    return true;
}

void Replayer::returned(const DeliveredEvent& e) {
    if (version_ < 2 || open_.empty()) return;
    const RecordedStep& s = steps_[open_.back()];
    open_.pop_back();
    if (differed()) return;
    const std::string where = " (line " + std::to_string(s.line) + ")";
    if (e.hr != s.event.hr)
        differ(e.label + " returned " + describeHresult(e.hr) + ", the recording " + describeHresult(s.event.hr) + where);
    else if (s.event.hasCode && e.nCodeOut != s.event.nCodeOut)
        differ(e.label + " gave back nCode " + std::to_string(e.nCodeOut) + ", the recording " +
               std::to_string(s.event.nCodeOut) + where);
}

std::string Replayer::waitingFor() const {
    if (differed() || next_ >= steps_.size()) return {};
    const RecordedStep& s = steps_[next_];
    const std::string line = " (recording line " + std::to_string(s.line) + ")";
    if (s.isEvent) return "the next recorded event, " + shown(s.event) + line;
    return "the next recorded request, #" + std::to_string(requests_ + 1) + " " +
           what(s.request.exportName, s.request.message, s.request.code) + line;
}

void Replayer::sessionEnds(bool commandEnded) {
    if (differed() || next_ >= steps_.size()) return;
    const RecordedStep& s = steps_[next_];
    if (!s.isEvent) {
        differ(nextRequestMissing("the command made no more requests"));
        return;
    }
    differ("the recording delivers " + shown(s.event) + " next (line " + std::to_string(s.line) + "), but " +
           (commandEnded ? "the command had ended" : "the session delivered no more events"));
}

}  // namespace kavhost
