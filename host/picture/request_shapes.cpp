// Pairs the decoded segments of a request with their layout and reads the
// records among them into picture shapes.
#include "picture/request_shapes.h"

#include "decode/decoder.h"
#include "script/host_text.h"

#include <cstring>
#include <string_view>

namespace kavhost::picture {
namespace {

template <class T> T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The record's numbers, in the order of its fields.
bool read(SegmentKind k, const uint8_t* p, Shape& s) {
    switch (k) {
    case SegmentKind::Point: case SegmentKind::StrPos: case SegmentKind::StrShape: {
        const auto v = load<PointShape>(p);
        s.kind = k == SegmentKind::Point ? Kind::Point : Kind::String;
        s.n = {v.x, v.y};
        return true;
    }
    case SegmentKind::Line: {
        const auto v = load<LineShape>(p);
        s.kind = Kind::Line;
        s.n = {v.start.x, v.start.y, v.end.x, v.end.y};
        return true;
    }
    case SegmentKind::Circle: {
        const auto v = load<CircleShape>(p);
        s.kind = Kind::Circle;
        s.n = {v.center.x, v.center.y, v.radius};
        return true;
    }
    case SegmentKind::Arc: {
        const auto v = load<ArcShape>(p);
        s.kind = Kind::Arc;
        s.n = {v.center.x, v.center.y, v.radius, v.startAngle, v.endAngle};
        s.arcFlag = v.arcFlag;
        return true;
    }
    case SegmentKind::Ellipse: {
        const auto v = load<EllipseShape>(p);
        s.kind = Kind::Ellipse;
        s.n = {v.center.x, v.center.y, v.radius1, v.radius2, v.axisAngle};
        return true;
    }
    case SegmentKind::EllArc: {
        const auto v = load<EllArcShape>(p);
        s.kind = Kind::EllArc;
        s.n = {v.center.x, v.center.y, v.radius1, v.radius2, v.axisAngle, v.startAngle, v.endAngle};
        s.arcFlag = v.arcFlag;
        return true;
    }
    default: return false;
    }
}

}  // namespace

std::vector<Shape> requestShapes(uint32_t code, uint32_t lParam, const std::vector<uint8_t>& payload) {
    std::vector<Shape> out;
    const Decoded d = decode(code, lParam, payload.data(), payload.size());
    if (!d.known) return out;
    const ExportLayout* e = rowOf(d);
    if (!e || e->segments.size() != d.segments.size()) return out;
    // Long lines travel as LineShape records like lines: the export says which.
    const bool longLine = std::string_view(e->name).find("LongLine") != std::string_view::npos;
    for (size_t i = 0; i < d.segments.size(); ++i) {
        const SegmentLayout& s = e->segments[i];
        const DecodedSegment& ds = d.segments[i];
        if (s.direction == Direction::Out || s.countFrom != CountFrom::None || s.argText) continue;
        Shape shape;
        if (ds.size < s.unit || s.unit == 0 || !read(s.kind, payload.data() + ds.offset, shape)) continue;
        if (shape.kind == Kind::Line && longLine) shape.kind = Kind::LongLine;
        if (shape.kind == Kind::String) {
            // The text travels in a segment of its own, after the position.
            for (size_t j = i + 1; j < d.segments.size(); ++j)
                if (e->segments[j].argText && e->segments[j].arg == s.arg) {
                    const DecodedSegment& t = d.segments[j];
                    // Its size counts the terminating zero when the payload holds one.
                    const uint8_t* text = payload.data() + t.offset;
                    const size_t n = t.size > 0 && text[t.size - 1] == 0 ? t.size - 1 : t.size;
                    shape.text = ansiToUtf8(std::string(reinterpret_cast<const char*>(text), n));
                }
        }
        out.push_back(std::move(shape));
    }
    return out;
}

}  // namespace kavhost::picture
