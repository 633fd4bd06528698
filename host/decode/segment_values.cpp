// Readable values of segments.  Records are read into their declared
// structs, so a field is found where the header puts it.
#include "decode/segment_values.h"

#include "script/host_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kavhost {
namespace {

std::string hexBytes(const uint8_t* p, uint32_t n, uint32_t limit = 24) {
    if (std::all_of(p, p + n, [](uint8_t b) { return b == 0; })) return n == 0 ? "(none)" : "all zero";
    return hexText(p, n, limit);
}

// As "%.15g" prints it.  Whole coordinates below 10^15 (the usual ones) are
// that integer's digits, written without the formatter.
std::string num(double d) {
    char buf[40];
    if (d > -1e15 && d < 1e15 && d == static_cast<double>(static_cast<int64_t>(d))) {
        const int64_t n = static_cast<int64_t>(d);
        if (n == 0) return std::signbit(d) ? "-0" : "0";
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
    }
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

template <class T> T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::string point(const PointShape& p) {
    std::string s = "(";
    s += num(p.x);
    s += ", ";
    s += num(p.y);
    return s += ")";
}

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

std::string textIn(const void* p, uint32_t n) {
    const auto* s = static_cast<const char*>(p);
    const void* z = std::memchr(s, 0, n);
    return std::string(s, z ? static_cast<size_t>(static_cast<const char*>(z) - s) : n);
}

std::string raw(const uint8_t* p, uint32_t n) { return hexBytes(p, n) + (n > 24 ? " (" + std::to_string(n) + " bytes)" : ""); }

// One item of `unit` bytes (all of them present).
std::string one(SegmentKind k, const uint8_t* p, uint32_t n) {
    switch (k) {
    case SegmentKind::U8: return std::to_string(p[0]);
    case SegmentKind::I16: return std::to_string(load<int16_t>(p));
    case SegmentKind::I32: {
        const int32_t v = load<int32_t>(p);
        std::string s = std::to_string(v);
        if (v >= 65536 || v <= -65536) {
            char b[16];
            std::snprintf(b, sizeof b, " (0x%08X)", static_cast<uint32_t>(v));
            s += b;
        }
        return s;
    }
    case SegmentKind::F64: return num(load<double>(p));
    case SegmentKind::Point: case SegmentKind::StrPos: return point(load<PointShape>(p));
    case SegmentKind::Line: {
        const auto l = load<LineShape>(p);
        return point(l.start) + " - " + point(l.end);
    }
    case SegmentKind::Circle: {
        const auto c = load<CircleShape>(p);
        return "center " + point(c.center) + " radius " + num(c.radius);
    }
    case SegmentKind::Arc: {
        const auto a = load<ArcShape>(p);
        return "center " + point(a.center) + " radius " + num(a.radius) + " angles " + num(a.startAngle) + " .. " +
               num(a.endAngle) + " flag " + std::to_string(a.arcFlag);
    }
    case SegmentKind::Ellipse: {
        const auto e = load<EllipseShape>(p);
        return "center " + point(e.center) + " radii " + num(e.radius1) + ", " + num(e.radius2) + " axis " +
               num(e.axisAngle);
    }
    case SegmentKind::EllArc: {
        const auto e = load<EllArcShape>(p);
        return "center " + point(e.center) + " radii " + num(e.radius1) + ", " + num(e.radius2) + " axis " +
               num(e.axisAngle) + " angles " + num(e.startAngle) + " .. " + num(e.endAngle) + " flag " +
               std::to_string(e.arcFlag);
    }
    case SegmentKind::StrShape: {
        const auto s = load<StringShape>(p);
        char b[24];
        std::snprintf(b, sizeof b, " text@0x%08X", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(s.text)));
        return point(s.position) + b;
    }
    case SegmentKind::BoxStatus: {
        const auto b = load<BoxStatus>(p);
        std::string s = "text " + quoted(textIn(b.text, sizeof b.text));
        const std::string head = hexBytes(b.head, sizeof b.head);
        if (head != "all zero") s += ", head " + head;
        return s;
    }
    case SegmentKind::Text: case SegmentKind::TextBuf: case SegmentKind::Chars: return quoted(textIn(p, n));
    default: return raw(p, n);
    }
}

}  // namespace

std::string segmentValue(const SegmentLayout& s, const uint8_t* p, uint32_t size) {
    if (s.kind == SegmentKind::Chars) return quoted(std::string(reinterpret_cast<const char*>(p), size));
    // An item cut short by the end of the payload area shows as bytes.
    if (s.unit != 0 && size < s.unit && s.kind != SegmentKind::TextBuf) return raw(p, size);
    if (s.countFrom == CountFrom::None || s.kind == SegmentKind::Raw || s.unit == 0) return one(s.kind, p, size);
    const uint32_t items = size / s.unit;
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

}  // namespace kavhost
