#include "model/drawing.h"

#include <algorithm>
#include <utility>

namespace kavhost::model {

std::string_view kindName(Kind k) { return kKindNames[static_cast<size_t>(k)]; }

std::optional<Kind> kindNamed(std::string_view name) {
    for (size_t i = 0; i < kKindNames.size(); ++i)
        if (kKindNames[i] == name) return static_cast<Kind>(i);
    return std::nullopt;
}

uint32_t shapeBytes(Kind k) {
    switch (k) {
    case Kind::Point: return sizeof(PointShape);
    case Kind::Line: case Kind::LongLine: return sizeof(LineShape);
    case Kind::Circle: return sizeof(CircleShape);
    case Kind::Arc: return sizeof(ArcShape);
    case Kind::Ellipse: return sizeof(EllipseShape);
    case Kind::EllArc: return sizeof(EllArcShape);
    case Kind::String: return sizeof(PointShape);
    case Kind::BSpline: return sizeof(BSplineHeader) + 2 * sizeof(BSplineValues) + sizeof(BSplinePoints);
    }
    return 0;
}

namespace {
template <class T> Shape held(Kind k, const T& v) {
    Shape s;
    s.kind = k;
    std::memcpy(s.record.data(), &v, sizeof v);
    return s;
}
}  // namespace

Shape Shape::point(const PointShape& p) { return held(Kind::Point, p); }
Shape Shape::line(const LineShape& l, bool longLine) { return held(longLine ? Kind::LongLine : Kind::Line, l); }
Shape Shape::circle(const CircleShape& c) { return held(Kind::Circle, c); }
Shape Shape::arc(const ArcShape& a) { return held(Kind::Arc, a); }
Shape Shape::ellipse(const EllipseShape& e) { return held(Kind::Ellipse, e); }
Shape Shape::ellArc(const EllArcShape& e) { return held(Kind::EllArc, e); }
Shape Shape::string(const PointShape& position, std::string text) {
    Shape s = held(Kind::String, position);
    s.text = std::move(text);
    return s;
}

Shape Shape::fromRecord(Kind k, const uint8_t* bytes) {
    Shape s;
    s.kind = k;
    if (k == Kind::BSpline) s.bspline.assign(bytes, bytes + shapeBytes(k));
    else std::memcpy(s.record.data(), bytes, shapeBytes(k));
    return s;
}

Element& Drawing::add(Element e, std::optional<int32_t> index) {
    e.index = index.value_or(next_);
    if (e.index >= next_) next_ = e.index + 1;
    at_[e.index] = elements_.size();  // an index given again names the newer element
    elements_.push_back(std::move(e));
    return elements_.back();
}

const Element* Drawing::live(int32_t index) const {
    const auto it = at_.find(index);
    if (it == at_.end()) return nullptr;
    const Element& e = elements_[it->second];
    return e.deleted ? nullptr : &e;
}

Element* Drawing::live(int32_t index) { return const_cast<Element*>(std::as_const(*this).live(index)); }

bool Drawing::erase(int32_t index, uint32_t seq) {
    Element* e = live(index);
    if (!e) return false;
    e->deleted = true;
    e->deletedAt = seq;
    for (Members* m : {&marks_, &groups_, &links_})
        for (auto& [key, list] : *m) std::erase(list, index);
    return true;
}

void Drawing::reindex(int32_t from, int32_t to) {
    const auto it = at_.find(from);
    if (it == at_.end()) return;
    const size_t place = it->second;
    at_.erase(it);
    at_[to] = place;
    elements_[place].index = to;
    if (to >= next_) next_ = to + 1;
}

size_t Drawing::liveCount() const {
    return static_cast<size_t>(std::count_if(elements_.begin(), elements_.end(), [](const Element& e) { return !e.deleted; }));
}

}  // namespace kavhost::model
