#include "session.h"

#include "host_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kavhost {
namespace {

// ------------------------------------------------------------ JSON reading
// Enough JSON for the lines kavhost writes: objects, arrays, strings,
// numbers, true, false, null.

struct Json {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json* get(const char* key) const {
        for (const auto& [k, v] : members)
            if (k == key) return &v;
        return nullptr;
    }
};

class JsonReader {
public:
    JsonReader(const std::string& s, int line) : s_(s), line_(line) {}

    Json document() {
        Json v = value(0);
        space();
        if (pos_ != s_.size()) fail("text after the JSON object");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw SessionError(line_, why + " (column " + std::to_string(pos_ + 1) + ")");
    }
    void space() { while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_; }
    bool eat(char c) {
        space();
        if (pos_ < s_.size() && s_[pos_] == c) { ++pos_; return true; }
        return false;
    }
    void expect(char c) { if (!eat(c)) fail(std::string("expected '") + c + "'"); }

    Json value(int depth) {
        if (depth > 16) fail("nested too deeply");
        space();
        if (pos_ >= s_.size()) fail("unexpected end of line");
        Json v;
        const char c = s_[pos_];
        if (c == '{') {
            v.type = Json::Object;
            ++pos_;
            if (eat('}')) return v;
            do {
                space();
                std::string key = string();
                expect(':');
                v.members.emplace_back(std::move(key), value(depth + 1));
            } while (eat(','));
            expect('}');
        } else if (c == '[') {
            v.type = Json::Array;
            ++pos_;
            if (eat(']')) return v;
            do v.items.push_back(value(depth + 1)); while (eat(','));
            expect(']');
        } else if (c == '"') {
            v.type = Json::String;
            v.text = string();
        } else if (s_.compare(pos_, 4, "true") == 0 || s_.compare(pos_, 5, "false") == 0) {
            v.type = Json::Bool;
            v.number = s_[pos_] == 't';
            pos_ += s_[pos_] == 't' ? 4 : 5;
        } else if (s_.compare(pos_, 4, "null") == 0) {
            pos_ += 4;
        } else {
            const char* start = s_.c_str() + pos_;
            char* end = nullptr;
            v.type = Json::Number;
            v.number = std::strtod(start, &end);
            if (end == start) fail("not a JSON value");
            pos_ += static_cast<size_t>(end - start);
        }
        return v;
    }

    std::string string() {
        if (pos_ >= s_.size() || s_[pos_] != '"') fail("expected a string");
        ++pos_;
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c != '\\') { out += c; continue; }
            if (pos_ >= s_.size()) break;
            c = s_[pos_++];
            switch (c) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': out += codePoint(); break;
            default: out += c;
            }
        }
        if (pos_ >= s_.size()) fail("unterminated string");
        ++pos_;
        return out;
    }

    std::string codePoint() {
        if (pos_ + 4 > s_.size()) fail("short \\u escape");
        const unsigned long u = std::strtoul(s_.substr(pos_, 4).c_str(), nullptr, 16);
        pos_ += 4;
        const std::wstring w(1, static_cast<wchar_t>(u));
        return narrow(w);
    }

    const std::string& s_;
    int line_;
    size_t pos_ = 0;
};

uint32_t unsignedField(const Json& o, const char* key, int line, bool required = true) {
    const Json* v = o.get(key);
    if (!v) {
        if (required) throw SessionError(line, std::string("no \"") + key + "\"");
        return 0;
    }
    if (v->type != Json::Number || v->number != std::floor(v->number) || v->number < -2147483648.0 ||
        v->number > 4294967295.0)
        throw SessionError(line, std::string("\"") + key + "\" is not a 32-bit integer");
    return v->number < 0 ? static_cast<uint32_t>(static_cast<int32_t>(v->number)) : static_cast<uint32_t>(v->number);
}

std::vector<uint8_t> hexField(const Json& o, const char* key, int line) {
    const Json* v = o.get(key);
    std::vector<uint8_t> out;
    if (!v) return out;
    if (v->type != Json::String || !fromHex(v->text, out))
        throw SessionError(line, std::string("\"") + key + "\" is not a string of hex bytes");
    return out;
}

RecordedRequest parseRequest(const Json& o, int line) {
    RecordedRequest r;
    r.line = line;
    r.message = unsignedField(o, "message", line);
    if (r.message != kRequestMessage && r.message != kExitCommandMessage)
        throw SessionError(line, "\"message\" is neither 1534 nor 1765");
    if (const Json* e = o.get("exports"); e && e->type == Json::Array && !e->items.empty())
        for (const Json& n : e->items) r.exportName += (r.exportName.empty() ? "" : " | ") + n.text;
    r.answer = unsignedField(o, "answer", line);
    if (r.message == kExitCommandMessage) return r;
    r.code = unsignedField(o, "code", line);
    r.lParam = unsignedField(o, "lParam", line);
    // The export name from today's table, so that a diff never trusts a stale name.
    if (const std::vector<const ExportLayout*> known = layoutsForCode(r.code); !known.empty()) {
        r.exportName.clear();
        for (const ExportLayout* e : known) r.exportName += (r.exportName.empty() ? "" : " | ") + e->name;
    }
    r.request = hexField(o, "request", line);
    if (r.request.size() > kPayloadSize) throw SessionError(line, "the request is larger than the payload area");
    if (const Json* ws = o.get("writes"); ws && ws->type == Json::Array) {
        for (const Json& w : ws->items) {
            PayloadWrite pw;
            pw.offset = unsignedField(w, "offset", line);
            pw.bytes = hexField(w, "bytes", line);
            if (pw.offset > kPayloadSize || pw.bytes.size() > kPayloadSize - pw.offset)
                throw SessionError(line, "a write runs past the payload area");
            r.writes.push_back(std::move(pw));
        }
    }
    return r;
}

std::string hex32(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08X", v);
    return b;
}

std::string what(const std::string& exportName, uint32_t message, uint32_t code) {
    if (message == kExitCommandMessage) return "ExitCommandMessage (VokExitCommand)";
    return (exportName.empty() ? std::string("an unknown export") : exportName) + " (code " + std::to_string(code) + ")";
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

std::string sessionHeader(int32_t cmdLine, const std::string& scriptText) {
    return "{\"session\":\"kavhost\",\"version\":1,\"cmdline\":" + std::to_string(cmdLine) + ",\"script\":\"" +
           jsonEscape(scriptText) + "\"}";
}

std::string recordLine(const LoggedRequest& r) {
    std::string j = "{\"seq\":" + std::to_string(r.seq) + ",\"message\":" + std::to_string(r.message);
    if (r.message == kExitCommandMessage)
        return j + ",\"exports\":[\"VokExitCommand\"],\"answer\":" + std::to_string(static_cast<int32_t>(r.reply.answer)) + "}";
    std::string decoded = formatJson(r.decoded);  // {"code":..,..,"segments":[..]}
    decoded.pop_back();
    j += "," + decoded.substr(1) + ",\"request\":\"" + hexText(r.request.data(), r.request.size()) + "\",\"answer\":" +
         std::to_string(static_cast<int32_t>(r.reply.answer)) + ",\"writes\":[";
    for (size_t i = 0; i < r.reply.writes.size(); ++i) {
        const PayloadWrite& w = r.reply.writes[i];
        if (i) j += ",";
        j += std::string("{\"offset\":") + std::to_string(w.offset) + ",\"bytes\":\"" +
             hexText(w.bytes.data(), w.bytes.size()) + "\"}";
    }
    return j + "]}";
}

Session parseSession(const std::string& text) {
    Session s;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool header = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const Json o = JsonReader(line, lineNo).document();
        if (o.type != Json::Object) throw SessionError(lineNo, "not a JSON object");
        if (!header) {
            const Json* tag = o.get("session");
            if (!tag || tag->text != "kavhost") throw SessionError(lineNo, "not a kavhost session (no header line)");
            if (unsignedField(o, "version", lineNo) != 1) throw SessionError(lineNo, "unknown session version");
            s.cmdLine = static_cast<int32_t>(unsignedField(o, "cmdline", lineNo, false));
            if (const Json* sc = o.get("script")) s.script = sc->text;
            header = true;
            continue;
        }
        s.requests.push_back(parseRequest(o, lineNo));
    }
    if (!header) throw SessionError(lineNo, "empty session");
    return s;
}

std::string describeDifference(uint32_t number, const RecordedRequest& e, const LoggedRequest& a) {
    const std::string head = "request #" + std::to_string(number);
    const std::string actualName = a.message == kExitCommandMessage ? "" : a.decoded.nameText();
    if (e.message != a.message || e.code != a.decoded.code)
        return head + ": expected " + what(e.exportName, e.message, e.code) + " (recording line " +
               std::to_string(e.line) + "), the command made " + what(actualName, a.message, a.decoded.code);
    if (a.message == kExitCommandMessage) return "";
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

Replayer::Replayer(std::vector<RecordedRequest> requests, std::function<void(const std::string&)> onDifference)
    : requests_(std::move(requests)), onDifference_(std::move(onDifference)) {}

void Replayer::differ(const std::string& diff) {
    if (!difference_.empty()) return;
    difference_ = diff;
    if (onDifference_) onDifference_(diff);
}

Reply Replayer::reply(const LoggedRequest& r) {
    Reply out;
    if (differed()) {
        out.source = "replay stopped";
        return out;
    }
    const uint32_t number = static_cast<uint32_t>(next_ + 1);
    if (next_ >= requests_.size()) {
        differ("request #" + std::to_string(number) + ": the command made " +
               what(r.message == kExitCommandMessage ? "" : r.decoded.nameText(), r.message, r.decoded.code) +
               ", but the recording ends after " + std::to_string(requests_.size()) + " requests");
        out.source = "replay stopped";
        return out;
    }
    const RecordedRequest& e = requests_[next_++];
    if (const std::string diff = describeDifference(number, e, r); !diff.empty()) {
        differ(diff);
        out.source = "replay stopped";
        return out;
    }
    out.answer = e.answer;
    out.writes = e.writes;
    out.source = "recording line " + std::to_string(e.line);
    return out;
}

bool Replayer::finish() {
    if (!differed() && next_ < requests_.size()) {
        const RecordedRequest& e = requests_[next_];
        differ("request #" + std::to_string(next_ + 1) + ": the recording has " + what(e.exportName, e.message, e.code) +
               " next (line " + std::to_string(e.line) + "), but the command made no more requests");
    }
    return !differed();
}

}  // namespace kavhost
