#include "script/answer_script.h"

#include "decode/decoder.h"
#include "script/host_text.h"
#include "morvik_events.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <algorithm>
#include <sstream>

namespace kavhost {

// The component's event methods, from the one table of the interface.
const std::vector<EventMethod>& eventMethods() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const kavcmd::EventMethod& m : kavcmd::kEventMethods)
            list.emplace_back(m.name, m.name + std::wcslen(m.name));  // ASCII names
        return list;
    }();
    static const std::vector<EventMethod> methods = [] {
        std::vector<EventMethod> list;
        for (unsigned n = 0; n < kavcmd::kEventMethodCount; ++n) {
            const kavcmd::EventMethod& m = kavcmd::kEventMethods[n];
            EventMethod method{names[n].c_str(), {}, {}};
            for (unsigned i = 0; i < m.count; ++i) {
                const kavcmd::EventParameter& p = m.params[i];
                std::string name = "hWnd";  // the one parameter the component names itself
                if (p.name) name.assign(p.name, p.name + std::wcslen(p.name));  // ASCII names
                method.paramNames.push_back(name);
                method.params.push_back(p.byRef ? kByRefCode : p.vt);
            }
            list.push_back(std::move(method));
        }
        return list;
    }();
    return methods;
}

const EventMethod* findEventMethod(const std::string& name) {
    for (const EventMethod& m : eventMethods())
        if (name == m.name) return &m;
    return nullptr;
}

std::vector<std::string> splitWords(const std::string& line, int lineNo) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
        if (c == '#') break;
        std::string w;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    w += line[i++];  // \" and \\; other backslashes stay (Windows paths)
                } else if (d == '"') {
                    closed = true;
                    break;
                } else {
                    w += d;
                }
            }
            if (!closed) throw ScriptError(lineNo, "unterminated quoted text");
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
        }
        out.push_back(w);
    }
    return out;
}

bool parseInteger(const std::string& s, int64_t& out) {
    if (s.empty() || s.size() > 24) return false;
    const char* p = s.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(p, &end, 0);
    if (errno != 0 || *end != '\0' || end == p) return false;
    if (v < INT32_MIN || v > static_cast<long long>(UINT32_MAX)) return false;
    out = v;
    return true;
}

bool parseDouble(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return errno == 0 && *end == '\0';
}

const std::vector<std::pair<const char*, const char*>>& elementKinds() {
    static const std::vector<std::pair<const char*, const char*>> kinds = {
        {"point", "x y"},
        {"line", "x1 y1 x2 y2"},
        {"longline", "x1 y1 x2 y2"},
        {"circle", "cx cy r"},
        {"arc", "cx cy r a1 a2 flag"},
        {"ellipse", "cx cy r1 r2 angle"},
        {"ellarc", "cx cy r1 r2 angle a1 a2 flag"},
        {"string", "x y \"text\""},
    };
    return kinds;
}

EventCall parseEventCall(const std::vector<std::string>& w, size_t at, int lineNo,
                         const std::vector<ElementStatement>& declared, const ElementNaming& naming) {
    if (w.size() <= at) throw ScriptError(lineNo, "event needs a method name");
    const std::string& name = w[at];
    const EventMethod* m = findEventMethod(name);
    if (!m) throw ScriptError(lineNo, "unknown event method '" + name + "'");
    if (name == "VokProcStartCmd") throw ScriptError(lineNo, "the start event is kavhost's own; use --command");
    // "@N" stands for an element's index and type: two arguments.
    std::vector<std::string> args;
    for (size_t i = at + 1; i < w.size(); ++i) {
        const std::string& a = w[i];
        if (a.size() < 2 || a[0] != '@') {
            args.push_back(a);
            continue;
        }
        const size_t k = args.size();
        int64_t n = 0;
        if (!parseInteger(a.substr(1), n) || n < 1)
            throw ScriptError(lineNo, a + ": after @ comes the number of a declared element, from 1");
        if (k + 1 >= m->params.size() || m->params[k] != VT_I4 || m->params[k + 1] != VT_I2)
            throw ScriptError(lineNo, a + " stands for an element's index and type, which " + name +
                                          " does not take at argument " + std::to_string(k + 1));
        if (static_cast<size_t>(n) > declared.size())
            throw ScriptError(lineNo, a + ": the script declares " + std::to_string(declared.size()) + " elements");
        const auto code = naming.typeCodes.find(declared[static_cast<size_t>(n - 1)].kind);
        if (code == naming.typeCodes.end())
            throw ScriptError(lineNo, a + ": no type code for '" + declared[static_cast<size_t>(n - 1)].kind +
                                          "' (the model is off or the profile has none)");
        args.push_back(std::to_string(naming.first + n - 1));
        args.push_back(std::to_string(code->second));
    }
    if (args.size() != m->params.size())
        throw ScriptError(lineNo, name + " takes " + std::to_string(m->params.size()) + " arguments");
    EventCall e{name, std::move(args), lineNo};
    for (size_t k = 0; k < m->params.size(); ++k) {
        const VARTYPE t = m->params[k];
        int64_t n = 0;
        double d = 0;
        if (t == VT_R8 ? !parseDouble(e.args[k], d) : t == VT_BSTR ? false : !parseInteger(e.args[k], n))
            throw ScriptError(lineNo, "argument " + std::to_string(k + 1) + " of " + name + " must be " +
                                          (t == VT_R8 ? "a number" : "an integer"));
        if (t == VT_I2 && (n < -32768 || n > 32767)) throw ScriptError(lineNo, e.args[k] + " is not a 16-bit value");
    }
    return e;
}

namespace {

ElementStatement parseElement(const std::vector<std::string>& w, int lineNo) {
    if (w.size() < 2) throw ScriptError(lineNo, "element needs a kind and its numbers");
    const auto& kinds = elementKinds();
    const auto k = std::find_if(kinds.begin(), kinds.end(), [&](const auto& p) { return w[1] == p.first; });
    if (k == kinds.end()) {
        std::string names;
        for (const auto& p : kinds) {
            if (!names.empty()) names += ' ';
            names += p.first;
        }
        throw ScriptError(lineNo, "unknown element kind '" + w[1] + "' (" + names + ")");
    }
    ElementStatement e;
    e.kind = w[1];
    e.line = lineNo;
    std::istringstream fields(k->second);
    size_t need = 0;
    for (std::string f; fields >> f;) need += f.front() == '"' ? 0 : 1;
    const bool text = e.kind == "string";
    if (w.size() != 2 + need + (text ? 1 : 0))
        throw ScriptError(lineNo, "element " + e.kind + " takes " + k->second);
    for (size_t i = 0; i < need; ++i) {
        double d = 0;
        if (!parseDouble(w[2 + i], d)) throw ScriptError(lineNo, "not a number: " + w[2 + i]);
        e.numbers.push_back(d);
    }
    if (text) e.text = w.back();
    return e;
}

}  // namespace

namespace {

template <class T> void append(std::vector<uint8_t>& b, T v) {
    uint8_t raw[sizeof v];
    std::memcpy(raw, &v, sizeof v);
    b.insert(b.end(), raw, raw + sizeof v);
}

// Reads "write <offset> <type> <value...>" from words[at..]; returns the next index.
size_t parseWrite(const std::vector<std::string>& w, size_t at, int line, PayloadWrite& out) {
    if (at + 2 >= w.size()) throw ScriptError(line, "write needs <offset> <type> <value>");
    int64_t offset = 0;
    if (!parseInteger(w[at], offset) || offset < 0 || offset >= kav::kPayloadSize)
        throw ScriptError(line, "write offset must be 0.." + std::to_string(kav::kPayloadSize - 1) + ": " + w[at]);
    out.offset = static_cast<uint32_t>(offset);
    const std::string& type = w[at + 1];
    size_t next = at + 3;
    int64_t n = 0;
    double d = 0;
    if (type == "u8" || type == "i16" || type == "i32") {
        if (!parseInteger(w[at + 2], n)) throw ScriptError(line, "not an integer: " + w[at + 2]);
        const int64_t lo = type == "u8" ? -128 : type == "i16" ? -32768 : INT32_MIN;
        const int64_t hi = type == "u8" ? 255 : type == "i16" ? 65535 : UINT32_MAX;
        if (n < lo || n > hi) throw ScriptError(line, w[at + 2] + " does not fit " + type);
        if (type == "u8") append(out.bytes, static_cast<uint8_t>(n));
        else if (type == "i16") append(out.bytes, static_cast<uint16_t>(n));
        else append(out.bytes, static_cast<uint32_t>(n));
    } else if (type == "f64") {
        if (!parseDouble(w[at + 2], d)) throw ScriptError(line, "not a number: " + w[at + 2]);
        append(out.bytes, d);
    } else if (type == "point") {
        double y = 0;
        if (at + 3 >= w.size() || !parseDouble(w[at + 2], d) || !parseDouble(w[at + 3], y))
            throw ScriptError(line, "point needs two numbers");
        append(out.bytes, d);
        append(out.bytes, y);
        next = at + 4;
    } else if (type == "text") {
        const std::string a = utf8ToAnsi(w[at + 2]);
        out.bytes.assign(a.begin(), a.end());
        out.bytes.push_back(0);
    } else if (type == "hex") {
        std::istringstream in(w[at + 2]);
        for (std::string h; in >> h;) {
            char* end = nullptr;
            const long v = std::strtol(h.c_str(), &end, 16);
            if (h.size() > 2 || *end != '\0' || v < 0) throw ScriptError(line, "not a hex byte: " + h);
            out.bytes.push_back(static_cast<uint8_t>(v));
        }
    } else {
        throw ScriptError(line, "unknown write type '" + type + "' (u8 i16 i32 f64 point text hex)");
    }
    if (out.offset + out.bytes.size() > kav::kPayloadSize) throw ScriptError(line, "write runs past the payload area");
    out.shown = type;
    for (size_t i = at + 2; i < next; ++i)
        out.shown += type == "text" || type == "hex" ? " \"" + w[i] + "\"" : " " + w[i];
    return next;
}

struct UiVerb {
    const char* verb;
    size_t minArgs, maxArgs;
};
const UiVerb kUiVerbs[] = {
    {"wait", 1, 2},      // wait "<caption>" [ms]: a window of this thread with that caption
    {"click", 1, 1},     // click "<button text>" in the current window
    {"check", 1, 1},     // check "<check box text>"
    {"uncheck", 1, 1},   // uncheck "<check box text>"
    {"settext", 2, 2},   // settext <n> "<text>": the n-th edit box (from 0) of the current window
    {"answer", 2, 2},    // answer "<caption>" yes|no|ok: press a message box button
    {"sleep", 1, 1},     // sleep <ms>
    {"signal", 1, 1},    // signal <file>: create the file (for an outside screenshot)
    {"waitfile", 1, 2},  // waitfile <file> [ms]: wait until the file exists
    {"close", 0, 0},     // close the current window (its close box)
    {"expect", 1, 1},    // expect "<caption>": fail unless such a window is open now
    {"event", 1, 10},    // event <method> <args...>: deliver an event from inside the dialog
};

}  // namespace

Script parseScript(const std::string& text, const ElementNaming& naming) {
    checkText(text);  // UTF-8 lines without NUL bytes, whatever file or recording the text came from
    Script s;
    std::string line;
    // Elements first: they may stand anywhere, and events name them.
    {
        std::istringstream in(text);
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
            const std::vector<std::string> w = splitWords(line, lineNo);
            if (!w.empty() && w[0] == "element") s.elements.push_back(parseElement(w, lineNo));
        }
    }
    std::istringstream in(text);
    int lineNo = 0;
    Rule* current = nullptr;
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const std::vector<std::string> w = splitWords(line, lineNo);
        if (w.empty()) continue;
        size_t i = 0;
        const std::string& verb = w[0];
        if (verb == "on") {
            if (w.size() < 2) throw ScriptError(lineNo, "on needs an export name, a command code or *");
            Rule r;
            r.line = lineNo;
            int64_t code = 0;
            if (w[1] == "*") r.any = true;
            else if (parseInteger(w[1], code)) {
                if (layoutsWithCode(static_cast<uint32_t>(code)).empty())
                    throw ScriptError(lineNo, "no export sends command code " + w[1]);
                r.code = static_cast<uint32_t>(code);
            } else if (w[1].find_first_not_of("0123456789") == std::string::npos ||
                       (w[1].rfind("0x", 0) == 0 && w[1].size() > 2 &&
                        w[1].find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos)) {
                throw ScriptError(lineNo, "command code " + w[1] + " is out of range (a 32-bit value)");
            } else {
                const ExportLayout* e = findLayout(w[1]);
                if (!e) throw ScriptError(lineNo, "unknown export '" + w[1] + "'");
                if (e->code == 0) throw ScriptError(lineNo, w[1] + " sends no request");
                r.key = w[1];
            }
            s.rules.push_back(r);
            current = &s.rules.back();
            i = 2;
        }
        // The rest of an "on" line, or an answer/write line of the current rule.
        if (verb == "on" || verb == "answer" || verb == "write") {
            while (i < w.size()) {
                if (!current) throw ScriptError(lineNo, w[i] + " before any 'on' rule");
                if (w[i] == "answer") {
                    int64_t v = 0;
                    if (i + 1 >= w.size() || !parseInteger(w[i + 1], v))
                        throw ScriptError(lineNo, "answer needs a 32-bit integer");
                    current->hasAnswer = true;
                    current->answer = static_cast<uint32_t>(v);
                    i += 2;
                } else if (w[i] == "write") {
                    PayloadWrite pw;
                    i = parseWrite(w, i + 1, lineNo, pw);
                    current->writes.push_back(std::move(pw));
                } else if (w[i] == "event" && verb == "on" && !current->event) {
                    // The method's own arguments, then the rule goes on.
                    const EventMethod* m = i + 1 < w.size() ? findEventMethod(w[i + 1]) : nullptr;
                    const size_t end = m ? std::min(w.size(), i + 2 + m->params.size()) : w.size();
                    current->event = parseEventCall(std::vector<std::string>(w.begin() + static_cast<long>(i), w.begin() + static_cast<long>(end)), 1, lineNo);
                    i = end;
                } else {
                    throw ScriptError(lineNo, "expected answer, write or (on the rule's own line, once) event, found '" +
                                                  w[i] + "'");
                }
            }
            continue;
        }
        if (verb == "element") continue;
        if (verb == "event") {
            s.events.push_back(parseEventCall(w, 1, lineNo, s.elements, naming));
            continue;
        }
        if (verb == "ui") {
            if (w.size() < 2) throw ScriptError(lineNo, "ui needs a step");
            const UiVerb* v = nullptr;
            for (const UiVerb& u : kUiVerbs)
                if (w[1] == u.verb) v = &u;
            if (!v) throw ScriptError(lineNo, "unknown ui step '" + w[1] + "'");
            const size_t n = w.size() - 2;
            if (n < v->minArgs || n > v->maxArgs) throw ScriptError(lineNo, "wrong number of arguments for ui " + w[1]);
            UiStep step{w[1], std::vector<std::string>(w.begin() + 2, w.end()), lineNo};
            if (step.verb == "event") {  // checked like an event statement, "@N" resolved
                const EventCall call = parseEventCall(w, 2, lineNo, s.elements, naming);
                step.args = {call.method};
                step.args.insert(step.args.end(), call.args.begin(), call.args.end());
            }
            int64_t num = 0;
            if ((step.verb == "sleep" || step.verb == "settext") && !parseInteger(step.args[0], num))
                throw ScriptError(lineNo, "ui " + step.verb + " needs a number first");
            if ((step.verb == "wait" || step.verb == "waitfile") && n == 2 && !parseInteger(step.args[1], num))
                throw ScriptError(lineNo, "timeout must be a number of milliseconds");
            if (step.verb == "answer" && step.args[1] != "yes" && step.args[1] != "no" && step.args[1] != "ok")
                throw ScriptError(lineNo, "ui answer takes yes, no or ok");
            s.ui.push_back(std::move(step));
            continue;
        }
        throw ScriptError(lineNo, "unknown statement '" + verb + "' (on, answer, write, event, ui, element)");
    }
    return s;
}

Answerer::Answerer(Script script) : script_(std::move(script)) {}

const Rule* Answerer::take(const std::string& key, uint32_t code, bool any) {
    const auto matches = [&](const Rule& r) {
        return any ? r.any : !key.empty() ? r.key == key : (!r.any && r.key.empty() && r.code == code);
    };
    size_t count = 0;
    for (const Rule& r : script_.rules) count += matches(r);
    if (count == 0) return nullptr;
    std::string id = "#";
    if (any) id = "*";
    else if (!key.empty()) id = key;
    else id += std::to_string(code);
    size_t& n = used_[id];
    // The n-th matching rule, the last one again once they are used up.
    size_t wanted = std::min(n, count - 1);
    ++n;
    for (const Rule& r : script_.rules)
        if (matches(r) && wanted-- == 0) return &r;
    return nullptr;
}

Reply Answerer::reply(uint32_t code, uint32_t lParam, const std::vector<std::string>& exportNames, const ExportLayout* row) {
    const Rule* r = nullptr;
    if (!script_.rules.empty()) {
        static const std::string kNoName;
        for (const std::string& n : exportNames)
            if (!r) r = take(n, code, false);
        if (!r) r = take(kNoName, code, false);
        if (!r) r = take(kNoName, code, true);
    }
    Reply out;
    if (r) {
        out.writes = r->writes;
        out.inside = r->event;
        out.source = "script line " + std::to_string(r->line);
        if (r->hasAnswer) {
            out.answer = r->answer;
            return out;
        }
    } else {
        out.source = "default";
    }
    out.defaultAnswer = true;
    // The row's default answer (both exports of a shared code have the same).
    for (const std::string& n : exportNames)
        if (!row) row = findLayout(n);
    if (!row) {
        const std::span<const ExportLayout* const> byCode = layoutsWithCode(code);
        if (!byCode.empty()) row = byCode.front();
    }
    switch (row ? row->answer : DefaultAnswer::One) {
    case DefaultAnswer::PanelPerId: {  // one panel handle per id in the lParam's low half
        auto it = panels_.find(lParam & 0xFFFF);
        if (it == panels_.end()) it = panels_.emplace(lParam & 0xFFFF, nextPanel_++).first;
        out.answer = it->second;
        break;
    }
    case DefaultAnswer::NextIndex: out.answer = nextIndex_++; break;
    case DefaultAnswer::One: out.answer = 1; break;
    }
    return out;
}

}  // namespace kavhost
