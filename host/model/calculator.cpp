#include "model/calculator.h"

#include "model/calculations.h"

namespace kavhost::model {

// The drawing as the calculations on elements see it.
struct Calculator::State : ShapeSource {
    CalcConventions conv;
    CalcState calc;
    const Drawing* drawing = nullptr;

    explicit State(const CalcConventions& c) : conv(c), calc(c) {}

    ElementShape shapeOf(int32_t element) const override {
        ElementShape s;
        const Element* e = drawing ? drawing->live(element) : nullptr;
        if (!e) return s;
        switch (e->shape.kind) {
        case Kind::Point: s.kind = ElementShape::Kind::Point; s.point = e->shape.asPoint(); break;
        case Kind::Line: s.kind = ElementShape::Kind::Line; s.line = e->shape.asLine(); break;
        case Kind::LongLine: s.kind = ElementShape::Kind::LongLine; s.line = e->shape.asLine(); break;
        case Kind::Circle: s.kind = ElementShape::Kind::Circle; s.circle = e->shape.asCircle(); break;
        case Kind::Arc: s.kind = ElementShape::Kind::Arc; s.arc = e->shape.asArc(); break;
        case Kind::Ellipse: s.kind = ElementShape::Kind::Ellipse; s.ellipse = e->shape.asEllipse(); break;
        case Kind::EllArc: s.kind = ElementShape::Kind::EllArc; s.ellArc = e->shape.asEllArc(); break;
        case Kind::String: case Kind::BSpline: s.kind = ElementShape::Kind::Other; break;
        }
        return s;
    }
};

Calculator::Calculator(const Profile& profile) : state_(std::make_unique<State>(conventionsOf(profile))) {}
Calculator::~Calculator() = default;

bool Calculator::answer(const LoggedRequest& r, const ExportLayout&, const Drawing& drawing, Reply& out, std::string& key) {
    state_->drawing = &drawing;
    const CalcRequest req = calcRequestOf(r.decoded, r.request.data(), r.request.size(), state_.get());
    if (!req.layout) return false;
    key.clear();
    return AnswerCalculationInPlace(req, state_->calc, state_->conv, out);
}

}  // namespace kavhost::model
