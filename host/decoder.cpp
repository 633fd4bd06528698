// Parses the layout table once and decodes requests against it.
#include "decoder.h"

#include "host_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace kavhost {
namespace {

std::vector<std::string> words(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else if (!(sep == ',' && c == ' ')) {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

uint32_t toNumber(const std::string& s, const std::string& where) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error(where + ": not a number: '" + s + "'");
    return static_cast<uint32_t>(std::stoul(s));
}

struct FixedKind {
    const char* token;
    Kind kind;
    uint32_t size;
};
const FixedKind kFixedKinds[] = {
    {"u8", Kind::U8, 1},          {"i16", Kind::I16, 2},         {"i32", Kind::I32, 4},
    {"f64", Kind::F64, 8},        {"pt", Kind::Point, 16},       {"line", Kind::Line, 32},
    {"circle", Kind::Circle, 24}, {"arc", Kind::Arc, 44},        {"ellipse", Kind::Ellipse, 40},
    {"ellarc", Kind::EllArc, 60}, {"spos", Kind::StrPos, 16},    {"sshape", Kind::StrShape, 20},
    {"sattr", Kind::StrAttr, 56}, {"eattr", Kind::ElemAttr, 8},  {"matrix", Kind::Matrix, 52},
    {"rpt", Kind::ResultPt, 18},  {"bsh", Kind::BsHeader, 28},   {"bsv", Kind::BsValues, 880},
    {"bsp", Kind::BsPoints, 1760}, {"boxst", Kind::BoxStatus, 276}, {"raw", Kind::Raw, 1},
    {"chars", Kind::Chars, 1},    {"text", Kind::Text, 0},
};

SegmentLayout parseSegment(std::string token, const std::vector<SegmentLayout>& before, const std::string& where,
                           bool readBack = false) {
    Direction direction = Direction::Out;
    if (const size_t slash = token.find('/'); slash != std::string::npos) {
        const std::string d = token.substr(slash + 1);
        if (d == "in") direction = Direction::In;
        else if (d == "out") direction = Direction::Out;
        else if (d == "inout") direction = Direction::InOut;
        else throw std::runtime_error(where + ": unknown direction in " + token);
        if (readBack) throw std::runtime_error(where + ": a read-back area has no direction: " + token);
        token.resize(slash);
    } else if (!readBack) {
        throw std::runtime_error(where + ": segment without direction: " + token);
    }
    const size_t colon = token.find(':');
    if (colon == std::string::npos || colon == 0) throw std::runtime_error(where + ": segment without kind: " + token);
    SegmentLayout s;
    s.direction = direction;
    s.name = token.substr(0, colon);
    std::string kindText = token.substr(colon + 1);
    std::string extra;
    if (const size_t plus = kindText.find('+'); plus != std::string::npos) {
        extra = kindText.substr(plus + 1);
        kindText.resize(plus);
        s.extra = toNumber(extra, where);
    }
    std::string count;
    if (const size_t star = kindText.find('*'); star != std::string::npos) {
        count = kindText.substr(star + 1);
        kindText.resize(star);
    }
    bool found = false;
    for (const FixedKind& k : kFixedKinds) {
        if (kindText == k.token) {
            s.kind = k.kind;
            s.unit = k.size;
            found = true;
        }
    }
    if (!found && kindText.size() > 3 && (kindText.rfind("raw", 0) == 0 || kindText.rfind("str", 0) == 0)) {
        s.kind = kindText[0] == 'r' ? Kind::Raw : Kind::TextBuf;
        s.unit = toNumber(kindText.substr(3), where);
        found = true;
    }
    if (!found) throw std::runtime_error(where + ": unknown segment kind: " + kindText);
    if (s.kind == Kind::Text && !count.empty()) throw std::runtime_error(where + ": a text takes no count");
    if (count.empty()) {
        if (kindText == "raw" || kindText == "chars") throw std::runtime_error(where + ": '" + kindText + "' needs a count");
        return s;
    }
    if (count == "lp") s.countFrom = CountFrom::LpLow;
    else if (count == "lps") s.countFrom = CountFrom::LpSigned;
    else if (count == "lphi") s.countFrom = CountFrom::LpHigh;
    else if (count == "lpall") s.countFrom = CountFrom::LpAll;
    else if (count.find_first_not_of("0123456789") == std::string::npos) {
        s.countFrom = CountFrom::Number;
        s.countNumber = toNumber(count, where);
    } else {
        s.countFrom = CountFrom::Segment;
        for (size_t i = 0; i < before.size(); ++i)
            if (before[i].name == count) s.countSegment = static_cast<int>(i);
        if (s.countSegment < 0) throw std::runtime_error(where + ": count from unknown segment " + count);
        const Kind ck = before[s.countSegment].kind;
        if (ck != Kind::U8 && ck != Kind::I16 && ck != Kind::I32)
            throw std::runtime_error(where + ": count segment " + count + " is not an integer");
    }
    return s;
}

int argIndex(const ExportLayout& e, const std::string& name, const std::string& where) {
    for (size_t i = 0; i < e.argNames.size(); ++i)
        if (e.argNames[i] == name) return static_cast<int>(i);
    throw std::runtime_error(where + ": lParam names unknown argument " + name);
}

ExportLayout parseRow(const ExportRow& row) {
    ExportLayout e;
    const std::string sig = row.signature;
    const size_t open = sig.find('(');
    if (open == std::string::npos || sig.back() != ')') throw std::runtime_error(std::string("bad signature: ") + sig);
    e.name = sig.substr(0, open);
    const std::string& where = e.name;
    e.argNames = words(sig.substr(open + 1, sig.size() - open - 2), ',');
    e.argKinds = words(row.args, ' ');
    if (e.argNames.size() != e.argKinds.size())
        throw std::runtime_error(where + ": " + std::to_string(e.argNames.size()) + " argument names but " +
                                 std::to_string(e.argKinds.size()) + " kinds");
    e.result = row.result;
    static const char* results[] = {"i32", "i16", "f64", "i64", "bstr", "void"};
    if (std::none_of(std::begin(results), std::end(results), [&](const char* r) { return e.result == r; }))
        throw std::runtime_error(where + ": unknown result kind " + e.result);
    e.code = row.code;
    const std::string lp = row.lparam;
    if (lp.empty()) e.lparam = LParamForm::Zero;
    else if (lp == "-") e.lparam = LParamForm::NoRequest;
    else if (lp == "exit") e.lparam = LParamForm::Exit;
    else if (lp[0] == '=') {
        e.lparam = LParamForm::Fixed;
        e.lparamFixed = toNumber(lp.substr(1), where);
    } else {
        const size_t colon = lp.find(':');
        std::string form = colon == std::string::npos ? "" : lp.substr(0, colon);
        std::string rest = colon == std::string::npos ? lp : lp.substr(colon + 1);
        if (form.empty()) e.lparam = LParamForm::Arg32;
        else if (form == "u16") e.lparam = LParamForm::U16;
        else if (form == "s16") e.lparam = LParamForm::S16;
        else if (form == "packed") e.lparam = LParamForm::Packed;
        else if (form == "len") e.lparam = LParamForm::Length;
        else throw std::runtime_error(where + ": unknown lParam form " + form);
        for (const std::string& a : words(rest, ',')) e.lparamArgs.push_back(argIndex(e, a, where));
        if (e.lparamArgs.size() != (e.lparam == LParamForm::Packed ? 2u : 1u))
            throw std::runtime_error(where + ": wrong number of lParam arguments");
    }
    const bool sends = e.lparam != LParamForm::NoRequest && e.lparam != LParamForm::Exit;
    if (sends != (e.code != 0)) throw std::runtime_error(where + ": code and lParam form disagree");
    if (sends && (e.code < 1100 || e.code > 2151)) throw std::runtime_error(where + ": code out of range");
    for (const std::string& t : words(row.segments, ' ')) e.segments.push_back(parseSegment(t, e.segments, where));
    for (const std::string& t : words(row.readBack, ' ')) e.readBack.push_back(parseSegment(t, e.readBack, where, true));
    const std::string rule = row.rule;
    if (rule == "nonzero") e.rule = CopyRule::Nonzero;
    else if (rule == "true") e.rule = CopyRule::True;
    else if (!rule.empty()) throw std::runtime_error(where + ": unknown copy rule " + rule);
    e.line = row.line;
    return e;
}

std::string hexBytes(const uint8_t* p, uint32_t n, uint32_t limit = 24) {
    if (std::all_of(p, p + n, [](uint8_t b) { return b == 0; })) return n == 0 ? "(none)" : "all zero";
    return hexText(p, n, limit);
}

std::string num(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

template <class T> T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::string point(const uint8_t* p) { return std::string("(") + num(load<double>(p)) + ", " + num(load<double>(p + 8)) + ")"; }

std::string quoted(const std::string& ansi) {
    std::string u = ansiToUtf8(ansi), out = "\"";
    for (unsigned char c : u) {
        if (c == '"' || c == '\\') { out += '\\'; out += static_cast<char>(c); }
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20) { char b[8]; std::snprintf(b, sizeof b, "\\x%02X", c); out += b; }
        else out += static_cast<char>(c);
    }
    return out + "\"";
}

std::string textIn(const uint8_t* p, uint32_t n) {
    const uint8_t* z = static_cast<const uint8_t*>(std::memchr(p, 0, n));
    return std::string(reinterpret_cast<const char*>(p), z ? static_cast<size_t>(z - p) : n);
}

std::string one(Kind k, const uint8_t* p, uint32_t n) {
    switch (k) {
    case Kind::U8: return std::to_string(p[0]);
    case Kind::I16: return std::to_string(load<int16_t>(p));
    case Kind::I32: {
        const int32_t v = load<int32_t>(p);
        std::string s = std::to_string(v);
        if (v >= 65536 || v <= -65536) {
            char b[16];
            std::snprintf(b, sizeof b, " (0x%08X)", static_cast<uint32_t>(v));
            s += b;
        }
        return s;
    }
    case Kind::F64: return num(load<double>(p));
    case Kind::Point: case Kind::StrPos: return point(p);
    case Kind::Line: return point(p) + " - " + point(p + 16);
    case Kind::Circle: return "center " + point(p) + " radius " + num(load<double>(p + 16));
    case Kind::Arc:
        return "center " + point(p) + " radius " + num(load<double>(p + 16)) + " angles " + num(load<double>(p + 24)) +
               " .. " + num(load<double>(p + 32)) + " flag " + std::to_string(load<int32_t>(p + 40));
    case Kind::Ellipse:
        return "center " + point(p) + " radii " + num(load<double>(p + 16)) + ", " + num(load<double>(p + 24)) +
               " axis " + num(load<double>(p + 32));
    case Kind::EllArc:
        return "center " + point(p) + " radii " + num(load<double>(p + 16)) + ", " + num(load<double>(p + 24)) +
               " axis " + num(load<double>(p + 32)) + " angles " + num(load<double>(p + 40)) + " .. " +
               num(load<double>(p + 48)) + " flag " + std::to_string(load<int32_t>(p + 56));
    case Kind::StrShape: {
        char b[24];
        std::snprintf(b, sizeof b, " text@0x%08X", load<uint32_t>(p + 16));
        return point(p) + b;
    }
    case Kind::BoxStatus: {
        std::string s = "text " + quoted(textIn(p + 16, 256));
        const std::string head = hexBytes(p, 16);
        if (head != "all zero") s += ", head " + head;
        return s;
    }
    case Kind::Text: case Kind::TextBuf: case Kind::Chars: return quoted(textIn(p, n));
    default: return hexBytes(p, n) + (n > 24 ? " (" + std::to_string(n) + " bytes)" : "");
    }
}

std::string value(const SegmentLayout& s, const uint8_t* p, uint32_t size) {
    if (s.kind == Kind::Chars) return quoted(std::string(reinterpret_cast<const char*>(p), size));
    if (s.countFrom == CountFrom::None || s.kind == Kind::Raw || s.unit == 0) return one(s.kind, p, size);
    const uint32_t items = s.unit ? size / s.unit : 0;
    if (items == 0) return "(none)";
    if (std::all_of(p, p + size, [](uint8_t b) { return b == 0; }))
        return std::to_string(items) + " x all zero";
    std::string out = std::to_string(items) + " x [";
    const uint32_t shown = std::min<uint32_t>(items, 8);
    for (uint32_t i = 0; i < shown; ++i) {
        if (i) out += ", ";
        out += one(s.kind, p + i * s.unit, s.unit);
    }
    if (items > shown) out += ", ...";
    return out + "]";
}

int64_t segmentInteger(Kind k, const uint8_t* p) {
    switch (k) {
    case Kind::U8: return p[0];
    case Kind::I16: return load<int16_t>(p);
    default: return load<int32_t>(p);
    }
}

std::string lparamText(const ExportLayout& e, uint32_t lp) {
    auto arg = [&](size_t i) { return e.argNames[e.lparamArgs[i]]; };
    switch (e.lparam) {
    case LParamForm::Zero: return "";
    case LParamForm::Arg32: return arg(0) + " = " + std::to_string(static_cast<int32_t>(lp));
    case LParamForm::U16: return arg(0) + " = " + std::to_string(lp) + (lp > 0xFFFF ? " (not a 16-bit value)" : "");
    case LParamForm::S16: return arg(0) + " = " + std::to_string(static_cast<int32_t>(lp));
    case LParamForm::Packed:
        return arg(0) + " = " + std::to_string(lp & 0xFFFF) + ", " + arg(1) + " = " + std::to_string(lp >> 16);
    case LParamForm::Fixed: return "constant " + std::to_string(lp);
    case LParamForm::Length: return "byte length of " + arg(0) + " = " + std::to_string(lp);
    default: return "";
    }
}

}  // namespace

const std::vector<ExportLayout>& exportLayouts() {
    static const std::vector<ExportLayout> layouts = [] {
        size_t n = 0;
        const ExportRow* rows = exportRows(n);
        std::vector<ExportLayout> out;
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) out.push_back(parseRow(rows[i]));
        return out;
    }();
    return layouts;
}

const ExportLayout* findLayout(const std::string& name) {
    for (const ExportLayout& e : exportLayouts())
        if (e.name == name) return &e;
    return nullptr;
}

std::vector<const ExportLayout*> layoutsForCode(uint32_t code) {
    std::vector<const ExportLayout*> out;
    if (code == 0) return out;
    for (const ExportLayout& e : exportLayouts())
        if (e.code == code) out.push_back(&e);
    return out;
}

std::string Decoded::nameText() const {
    if (names.empty()) return "(unknown code)";
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " | ") + n;
    return s;
}

Decoded decode(uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size) {
    Decoded d;
    d.code = code;
    d.lParam = lParam;
    std::vector<const ExportLayout*> candidates = layoutsForCode(code);
    if (candidates.empty()) return d;
    d.known = true;
    // A function that sends lParam 0 cannot have made a request with another lParam.
    if (lParam != 0) {
        std::vector<const ExportLayout*> kept;
        for (const ExportLayout* e : candidates)
            if (e->lparam != LParamForm::Zero) kept.push_back(e);
        if (!kept.empty()) candidates = kept;
    }
    for (const ExportLayout* e : candidates) d.names.push_back(e->name);
    const ExportLayout& e = *candidates.front();
    d.lParamText = lparamText(e, lParam);
    if (!payload) size = 0;
    const uint32_t limit = static_cast<uint32_t>(std::min<size_t>(size, kav::kPayloadSize));
    uint32_t offset = 0;
    std::vector<int64_t> integers(e.segments.size(), 0);
    for (size_t i = 0; i < e.segments.size(); ++i) {
        const SegmentLayout& s = e.segments[i];
        uint64_t want = 0;
        if (s.kind == Kind::Text) {
            const void* z = offset < limit ? std::memchr(payload + offset, 0, limit - offset) : nullptr;
            if (!z) {
                if (d.problem.empty()) d.problem = "text " + s.name + " has no terminator inside the payload area";
                want = limit - std::min(offset, limit);
            } else {
                want = static_cast<const uint8_t*>(z) - (payload + offset) + 1;
            }
        } else {
            int64_t count = 1;
            switch (s.countFrom) {
            case CountFrom::None: count = 1; break;
            case CountFrom::Number: count = s.countNumber; break;
            case CountFrom::LpLow: count = lParam & 0xFFFF; break;
            case CountFrom::LpSigned: count = static_cast<int16_t>(lParam & 0xFFFF); break;
            case CountFrom::LpHigh: count = lParam >> 16; break;
            case CountFrom::LpAll: count = lParam; break;
            case CountFrom::Segment: count = integers[s.countSegment]; break;
            }
            if (s.countFrom != CountFrom::None) count += s.extra;
            if (count < 0) {
                if (d.problem.empty()) d.problem = "negative count for " + s.name;
                count = 0;
            }
            want = static_cast<uint64_t>(count) * s.unit;
        }
        if (offset + want > limit) {
            if (d.problem.empty()) d.problem = "segment " + s.name + " runs past the payload area";
            want = limit - std::min(offset, limit);
        }
        DecodedSegment ds;
        ds.name = s.name;
        ds.offset = offset;
        ds.size = static_cast<uint32_t>(want);
        if (want >= (s.unit ? s.unit : 1) && (s.kind == Kind::U8 || s.kind == Kind::I16 || s.kind == Kind::I32))
            integers[i] = segmentInteger(s.kind, payload + offset);
        ds.value = want == 0 && s.kind != Kind::Text ? "(none)" : value(s, payload + offset, ds.size);
        d.segments.push_back(std::move(ds));
        offset += static_cast<uint32_t>(want);
    }
    d.total = offset;
    return d;
}

std::string formatText(const Decoded& d) {
    std::ostringstream o;
    char head[64];
    std::snprintf(head, sizeof head, "code %u  lParam 0x%08X", d.code, d.lParam);
    o << d.nameText() << "  " << head;
    if (!d.lParamText.empty()) o << " (" << d.lParamText << ")";
    if (d.known) o << "  " << d.total << " payload bytes";
    o << "\n";
    for (const DecodedSegment& s : d.segments) {
        char pre[48];
        std::snprintf(pre, sizeof pre, "    @%-5u %5u  ", s.offset, s.size);
        o << pre << s.name << " = " << s.value << "\n";
    }
    if (!d.problem.empty()) o << "    ! " << d.problem << "\n";
    return o.str();
}

}  // namespace kavhost
