// The VokCal exports answered by the model.  Each handler names the segments
// it reads and writes as its export's row names them; where they lie comes
// from the decoder's walk of the row, so no offset is written down here.
// kHandlers is the one list of what the model computes; the table by code is
// made from it when the program is compiled.
#include "model/calculations.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kavhost::model {
namespace {

// ------------------------------------------------------------ angles after the conventions

double sense(const CalcConventions& conv) { return conv.angleSense == AngleSense::Clockwise ? -1.0 : 1.0; }

// An angle of the host as an angle of the model (counterclockwise), and back, normalised.
double toModel(double hostAngle, const CalcConventions& conv) { return sense(conv) * hostAngle; }
double normalized(double a, const CalcConventions& conv) {
    return conv.normRange == NormRange::ZeroToTwoPi ? normalizeTwoPi(a) : normalizePi(a);
}
double toHost(double modelAngle, const CalcConventions& conv) { return normalized(sense(conv) * modelAngle, conv); }

// An arc's two angles as the host gives them, as a counterclockwise range of the model.
struct Range {
    double start = 0, sweep = kTwoPi;
};

Range rangeFromHost(double first, double second, const CalcConventions& conv) {
    double start = first, sweep = 0;
    if (conv.arcEnd == ArcEnd::EndAngle) {
        sweep = normalizeTwoPi(second - first);
        if (sweep == 0) sweep = kTwoPi;  // both ends at one angle: the whole curve
    } else {
        sweep = second;
        if (sweep < 0) {
            start += sweep;
            sweep = -sweep;
        }
        sweep = std::min(sweep, kTwoPi);
    }
    // Running the other way, the host's range is the model's from its far end.
    if (conv.angleSense == AngleSense::Clockwise) start = -(start + sweep);
    return {normalizeTwoPi(start), sweep};
}

void rangeToHost(const Range& r, const CalcConventions& conv, double& first, double& second) {
    const double start = conv.angleSense == AngleSense::Clockwise ? -(r.start + r.sweep) : r.start;
    first = normalized(start, conv);
    second = conv.arcEnd == ArcEnd::EndAngle ? normalized(start + r.sweep, conv) : r.sweep;
}

// Parameters of an elliptic arc from the host's angles (polar or parameter), and back.
Range parameterRange(const Ellipse& e, Range r, const CalcConventions& conv) {
    if (conv.ellipseAngle == EllipseAngle::Parameter) return r;
    const double t0 = parameterOfPolar(e, r.start), t1 = parameterOfPolar(e, r.start + r.sweep);
    return {normalizeTwoPi(t0), r.sweep >= kTwoPi ? kTwoPi : normalizeTwoPi(t1 - t0)};
}

Range hostRange(const Ellipse& e, Range r, const CalcConventions& conv) {
    if (conv.ellipseAngle == EllipseAngle::Parameter) return r;
    const double a0 = polarOfParameter(e, r.start), a1 = polarOfParameter(e, r.start + r.sweep);
    return {normalizeTwoPi(a0), r.sweep >= kTwoPi ? kTwoPi : normalizeTwoPi(a1 - a0)};
}

Point pointOf(const PointShape& p) { return {p.x, p.y}; }
PointShape pointRecord(Point p) { return {p.x, p.y}; }
int32_t answerOf(bool holds, const CalcConventions& conv) { return holds ? conv.successValue : conv.noneValue; }

// ------------------------------------------------------------ one request

class Call {
public:
    Call(const CalcRequest& req, CalcState& calcState, const CalcConventions& conventions, Reply& out)
        : conv(conventions), state(calcState), req_(req), out_(out) {}

    const CalcConventions& conv;
    CalcState& state;
    const Tolerance& tol() const { return state.tol; }
    const CalcRequest& request() const { return req_; }
    // A segment the row does not have, or one the payload does not hold: the model does not answer.
    bool broken() const { return broken_; }

    template <class T> T in(std::string_view name) {
        T v{};
        const int i = index(name, sizeof(T));
        if (i >= 0) std::memcpy(&v, req_.payload + req_.segments[static_cast<size_t>(i)].offset, sizeof(T));
        return v;
    }
    Point point(std::string_view name) { return pointOf(in<PointShape>(name)); }
    double f64(std::string_view name) { return in<double>(name); }
    // The bytes of a segment whose size the request decides (a text, a point list).
    std::span<const uint8_t> bytes(std::string_view name) {
        const int i = index(name, 0);
        if (i < 0) return {};
        const DecodedSegment& s = req_.segments[static_cast<size_t>(i)];
        return {req_.payload + s.offset, s.size};
    }

    template <class T> void write(std::string_view name, const T& value) {
        const int i = index(name, sizeof(T));
        if (i < 0) return;
        out_.write(req_.segments[static_cast<size_t>(i)].offset, &value, sizeof(T)).shownAs =
            &req_.layout->segments[static_cast<size_t>(i)];
    }
    void writePoint(std::string_view name, Point p) { write(name, pointRecord(p)); }
    // The place of a solution that does not exist: left as sent.
    void noSolution(std::string_view name) {
        const int i = index(name, 0);
        if (i >= 0) out_.noSolution.push_back(req_.segments[static_cast<size_t>(i)].offset);
    }
    // A double result goes into the export's result place.
    bool result(double v) {
        write("result", v);
        return answer(conv.successValue);
    }

    bool answer(int32_t v) {
        out_.answer = static_cast<uint32_t>(v);
        return true;
    }
    bool verdict(bool holds) { return answer(answerOf(holds, conv)); }
    bool none() { return answer(conv.noneValue); }

private:
    int index(std::string_view name, size_t need) {
        const auto segs = req_.layout->segments;
        for (size_t i = 0; i < segs.size(); ++i) {
            if (name != segs[i].name) continue;
            const DecodedSegment& s = req_.segments[i];
            if (s.size < need || s.offset + s.size > req_.size) break;
            return static_cast<int>(i);
        }
        broken_ = true;
        return -1;
    }

    const CalcRequest& req_;
    Reply& out_;
    bool broken_ = false;
};

// Puts several solutions into the order the conventions give.
Hits ordered(Hits hits, const CalcConventions& conv) {
    if (conv.solutionOrder == SolutionOrder::AlongFirst)
        hits.sort([](const Hit& a, const Hit& b) { return a.along < b.along; });
    else
        hits.sort([](const Hit& a, const Hit& b) { return a.p.x < b.p.x || (a.p.x == b.p.x && a.p.y < b.p.y); });
    return hits;
}

// Writes the solutions in the conventions' order into `names`, and answers their count or a flag.
bool solutions(Call& c, Hits all, std::initializer_list<std::string_view> names, AnswerKind kind) {
    const Hits hits = ordered(all, c.conv);
    size_t n = 0;
    for (std::string_view name : names) {
        if (n == hits.count) c.noSolution(name);
        else c.writePoint(name, hits.items[n++].p);
    }
    if (kind == AnswerKind::Count) return c.answer(static_cast<int32_t>(n));
    return c.verdict(n > 0);
}

Hits keepWithin(const Hits& all, bool onlyWithin) {
    Hits kept;
    for (const Hit& h : all)
        if (!onlyWithin || h.within) kept.add(h);
    return kept;
}

ResultPoint resultPointOf(const Hit& h, size_t ordinal, const CalcConventions& conv) {
    ResultPoint r{};
    const PointShape p = pointRecord(h.p);
    int16_t value = 0;
    switch (conv.resultValue) {
    case ResultValue::OnElement: value = static_cast<int16_t>(answerOf(h.within, conv)); break;
    case ResultValue::Ordinal: value = static_cast<int16_t>(ordinal); break;
    case ResultValue::Zero: value = 0; break;
    }
    const size_t at = static_cast<size_t>(std::clamp(conv.resultPointAt, 0, 2));
    const size_t valueAt = static_cast<size_t>(std::clamp(conv.resultValueAt, 0, 16));
    std::memcpy(r.bytes + at, &p, sizeof p);
    std::memcpy(r.bytes + valueAt, &value, sizeof value);
    return r;
}

bool resultPoints(Call& c, Hits hits, std::initializer_list<std::string_view> names, AnswerKind kind) {
    size_t n = 0;
    for (std::string_view name : names) {
        if (n == hits.count) {
            c.noSolution(name);
            continue;
        }
        c.write(name, resultPointOf(hits.items[n], n + 1, c.conv));
        ++n;
    }
    if (kind == AnswerKind::Count) return c.answer(static_cast<int32_t>(n));
    return c.verdict(n > 0);
}

// The element's shape as a curve: false when the model cannot answer for it
// (no drawing, or an element without a plane shape), `found` false for an element that does not exist.
bool elementCurve(Call& c, int32_t element, Curve& curve, bool& found) {
    const ShapeSource* shapes = c.request().shapes;
    if (!shapes) return false;
    const ElementShape s = shapes->shapeOf(element);
    found = s.kind != ElementShape::Kind::None;
    if (!found) return true;
    const std::optional<Curve> k = curveOf(s, c.conv);
    if (!k) return false;
    curve = *k;
    return true;
}

// ------------------------------------------------------------ the handlers

bool getEpsLen(Call& c) { return c.result(c.tol().len); }
bool getEpsAng(Call& c) { return c.result(c.tol().ang); }

bool setTolerance(Call& c, std::string_view name, double Tolerance::* field) {
    const double v = c.f64(name);
    if (!std::isfinite(v) || v < 0) return c.none();
    c.state.tol.*field = v;
    return c.answer(c.conv.successValue);
}
bool setEpsLen(Call& c) { return setTolerance(c, "epsLen", &Tolerance::len); }
bool setEpsAng(Call& c) { return setTolerance(c, "epsAng", &Tolerance::ang); }
bool resetEps(Call& c) {
    c.state.reset(c.conv);
    return c.answer(c.conv.successValue);
}

bool equP(Call& c) { return c.verdict(equalPoints(c.point("point1"), c.point("point2"), c.tol())); }
bool equLen(Call& c) { return c.verdict(equalLengths(c.f64("length1"), c.f64("length2"), c.tol())); }

bool compRad(Call& c) {
    const double a = c.f64("angle1"), b = c.f64("angle2");
    if (c.conv.compRad == CompareMode::Equal) return c.verdict(equalAngles(a, b, c.tol()));
    if (equalAngles(a, b, c.tol())) return c.answer(0);
    return c.answer(normalized(a, c.conv) < normalized(b, c.conv) ? -1 : 1);
}

bool insideRad(Call& c) {
    // Read in the host's own angles: the range runs in its positive sense.
    const double a = c.f64("angle"), a1 = c.f64("angle1"), a2 = c.f64("angle2");
    double start = a1, sweep = normalizeTwoPi(a2 - a1);
    if (c.conv.insideRad == RangeReading::Shorter && sweep > kPi) {
        start = a2;
        sweep = kTwoPi - sweep;
    }
    return c.verdict(insideSweep(a, start, sweep, c.tol()));
}

bool insideRectCalc(Call& c) {
    const LineShape r = c.in<LineShape>("rect");
    return c.verdict(insideRect(c.point("point"), pointOf(r.start), pointOf(r.end), c.tol()));
}

bool insideConvexCalc(Call& c) {
    const Point p = c.point("point");
    const std::span<const uint8_t> raw = c.bytes("pointArray");
    std::array<Point, 1024> corners;
    const size_t n = std::min(raw.size() / sizeof(PointShape), corners.size());
    for (size_t i = 0; i < n; ++i) {
        PointShape q;
        std::memcpy(&q, raw.data() + i * sizeof q, sizeof q);
        corners[i] = pointOf(q);
    }
    return c.verdict(insideConvex(p, corners.data(), n, c.tol()));
}

bool radToDegCalc(Call& c) { return c.result(radToDeg(c.f64("angle"))); }
bool degToRadCalc(Call& c) { return c.result(degToRad(c.f64("degrees"))); }
bool normRad(Call& c) { return c.result(normalized(c.f64("angle"), c.conv)); }

bool angle3P(Call& c) {
    const Point p[3] = {c.point("point1"), c.point("point2"), c.point("point3")};
    const int v = std::clamp(c.conv.angle3PVertex, 1, 3) - 1;
    const Point vertex = p[v], arm1 = p[v == 0 ? 1 : 0], arm2 = p[v == 2 ? 1 : 2];
    if (equalPoints(vertex, arm1, c.tol()) || equalPoints(vertex, arm2, c.tol())) return c.none();
    if (c.conv.angle3P == AngleMeasure::Interior) return c.result(interiorAngle(vertex, arm1, arm2));
    // From the first arm to the second in the host's positive sense.
    return c.result(normalizeTwoPi(sense(c.conv) * (angleOf(arm2 - vertex) - angleOf(arm1 - vertex))));
}

bool intersection(Call& c) {
    Curve a, b;
    bool foundA = false, foundB = false;
    if (!elementCurve(c, c.in<int32_t>("element1"), a, foundA) || !elementCurve(c, c.in<int32_t>("element2"), b, foundB))
        return false;
    if (!foundA || !foundB) return c.none();
    const Hits hits = ordered(keepWithin(intersect(a, b, c.tol()), c.conv.intersectionOnElements), c.conv);
    return resultPoints(c, hits, {"result1", "result2", "result3", "result4"}, c.conv.intersectionAnswer);
}

bool perpend(Call& c) {
    Curve k;
    bool found = false;
    if (!elementCurve(c, static_cast<int32_t>(c.request().lParam), k, found)) return false;
    if (!found) return c.none();
    const Hits all = feet(c.point("point"), k, c.tol());
    const Hits kept = keepWithin(all, c.conv.footOnSegment);
    if (kept.count == 0) return c.none();
    Hits nearest;
    nearest.add(kept.items[0]);
    return resultPoints(c, nearest, {"result"}, AnswerKind::Flag);
}

bool tangent(Call& c) {
    Curve k;
    bool found = false;
    if (!elementCurve(c, static_cast<int32_t>(c.request().lParam), k, found)) return false;
    if (!found) return c.none();
    const Hits hits = ordered(keepWithin(tangentPoints(c.point("point"), k, c.tol()), c.conv.tangentOnElement), c.conv);
    return resultPoints(c, hits, {"result1", "result2"}, c.conv.tangentAnswer);
}

bool pointOut(Call& c, std::optional<Point> p) {
    if (!p) return c.none();
    c.writePoint("out", *p);
    return c.answer(c.conv.successValue);
}

bool center3P(Call& c) { return pointOut(c, centre3(c.point("point1"), c.point("point2"), c.point("point3"), c.tol())); }
bool midP(Call& c) { return pointOut(c, midpoint(c.point("point1"), c.point("point2"))); }

bool angularPointOnCircle(Call& c) {
    const CircleShape k = c.in<CircleShape>("circle");
    return pointOut(c, pointOnCircle({pointOf(k.center), k.radius}, toModel(c.f64("angle"), c.conv)));
}

bool angularPointOnEllipse(Call& c) {
    const Ellipse e = ellipseOf(c.in<EllipseShape>("ellipse"), c.conv);
    const double a = toModel(c.f64("angle"), c.conv);
    return pointOut(c, pointOnEllipse(e, c.conv.ellipseAngle == EllipseAngle::Polar ? parameterOfPolar(e, a) : a));
}

bool dist2P(Call& c) { return c.result(distance(c.point("point1"), c.point("point2"))); }

bool distToLine(Call& c) {
    const Point p[3] = {c.point("point1"), c.point("point2"), c.point("point3")};
    const int f = std::clamp(c.conv.distToLineFree, 1, 3) - 1;
    const Line l{p[f == 0 ? 1 : 0], p[f == 2 ? 1 : 2]};
    const std::optional<double> d = distanceToLine(p[f], l, c.tol());
    if (!d) return c.none();
    return c.result(*d);
}

bool vecOf2P(Call& c) {
    const Point a = c.point("point1"), b = c.point("point2");
    return pointOut(c, c.conv.vecOf2PFromFirst ? b - a : a - b);
}
bool addVecToPoint(Call& c) { return pointOut(c, c.point("point") + c.point("vec")); }
bool addVec(Call& c) { return pointOut(c, c.point("vec1") + c.point("vec2")); }
bool subVec(Call& c) { return pointOut(c, c.point("vec1") - c.point("vec2")); }
bool multiVec(Call& c) { return pointOut(c, c.point("vec") * c.f64("factor")); }
bool unifyVec(Call& c) { return pointOut(c, unit(c.point("vec"), c.tol().len)); }
bool vecLen(Call& c) { return c.result(length(c.point("vec"))); }

bool vecAng(Call& c) {
    const Vec v = c.point("vec");
    if (length(v) <= c.tol().len) return c.none();
    return c.result(toHost(angleOf(v), c.conv));
}

// A quarter turn in the host's positive sense.
bool perpVec(Call& c) { return pointOut(c, perpendicular(c.point("vec")) * sense(c.conv)); }
bool inProduct(Call& c) { return c.result(dot(c.point("vec1"), c.point("vec2"))); }
bool outProduct(Call& c) { return c.result(cross(c.point("vec1"), c.point("vec2"))); }

Affine matrixIn(Call& c, std::string_view name) { return matrixOf(c.in<TransMatrix>(name), c.conv); }
bool matrixOut(Call& c, std::optional<Affine> m) {
    if (!m) return c.none();
    c.write("out", matrixRecord(*m, c.conv));
    return c.answer(c.conv.successValue);
}

bool matrixDeterminant(Call& c) { return c.result(matrixIn(c, "matrix").determinant()); }
bool matrixMove(Call& c) { return matrixOut(c, Affine::translation(c.point("offset"))); }
bool matrixRotate(Call& c) { return matrixOut(c, Affine::rotation(toModel(c.f64("angle"), c.conv))); }
bool matrixScale(Call& c) { return matrixOut(c, Affine::scaling(c.f64("factor"))); }
bool matrixMirror(Call& c) { return matrixOut(c, Affine::mirror(toModel(c.f64("angle"), c.conv))); }

bool multiMatrix(Call& c) {
    const Affine m1 = matrixIn(c, "matrix1"), m2 = matrixIn(c, "matrix2");
    return matrixOut(c, c.conv.multiMatrix == MatrixOrder::FirstThenSecond ? compose(m1, m2) : compose(m2, m1));
}
bool invMatrix(Call& c) { return matrixOut(c, inverse(matrixIn(c, "matrix"), c.tol())); }

bool transCoord(Call& c) {
    const Point p = c.point("point");
    const Affine m = matrixIn(c, "matrix");
    switch (c.conv.transCoord) {
    case CoordMode::Point: return pointOut(c, m.apply(p));
    case CoordMode::Vector: return pointOut(c, m.applyVector(p));
    case CoordMode::Inverse: {
        const std::optional<Affine> inv = inverse(m, c.tol());
        return pointOut(c, inv ? std::optional<Point>(inv->apply(p)) : std::nullopt);
    }
    }
    return false;
}

bool transAngle(Call& c) {
    const std::optional<double> a = transformAngle(matrixIn(c, "matrix"), toModel(c.f64("angle"), c.conv), c.tol());
    if (!a) return c.none();
    return c.result(toHost(*a, c.conv));
}

bool transPoint(Call& c) { return pointOut(c, matrixIn(c, "matrix").apply(c.point("point"))); }

template <class Record> bool shapeOut(Call& c, const std::optional<Record>& r) {
    if (!r) return c.none();
    c.write("out", *r);
    return c.answer(c.conv.successValue);
}

bool transLine(Call& c) {
    const LineShape l = c.in<LineShape>("shape");
    const Line t = transform(matrixIn(c, "matrix"), Line{pointOf(l.start), pointOf(l.end)});
    return shapeOut(c, std::optional<LineShape>(LineShape{pointRecord(t.a), pointRecord(t.b)}));
}

bool transCircle(Call& c) {
    const CircleShape k = c.in<CircleShape>("shape");
    const std::optional<Circle> t = transform(matrixIn(c, "matrix"), Circle{pointOf(k.center), k.radius}, c.tol());
    return shapeOut(c, t ? std::optional<CircleShape>(CircleShape{pointRecord(t->c), t->r}) : std::nullopt);
}

bool transArc(Call& c) {
    const ArcShape a = c.in<ArcShape>("shape");
    const std::optional<Arc> t = transform(matrixIn(c, "matrix"), arcOf(a, c.conv), c.tol());
    return shapeOut(c, t ? std::optional<ArcShape>(arcRecord(*t, a.arcFlag, c.conv)) : std::nullopt);
}

bool transEllipse(Call& c) {
    const std::optional<Ellipse> t =
        transform(matrixIn(c, "matrix"), ellipseOf(c.in<EllipseShape>("shape"), c.conv), c.tol());
    return shapeOut(c, t ? std::optional<EllipseShape>(ellipseRecord(*t, c.conv)) : std::nullopt);
}

bool transEllArc(Call& c) {
    const EllArcShape a = c.in<EllArcShape>("shape");
    const std::optional<EllArc> t = transform(matrixIn(c, "matrix"), ellArcOf(a, c.conv), c.tol());
    return shapeOut(c, t ? std::optional<EllArcShape>(ellArcRecord(*t, a.arcFlag, c.conv)) : std::nullopt);
}

bool numOfChar(Call& c) {
    const std::span<const uint8_t> raw = c.bytes("text");
    const char* text = reinterpret_cast<const char*>(raw.data());
    const size_t bytes = raw.empty() ? 0 : strnlen(text, raw.size());
    if (c.conv.numOfChar == CharCount::Bytes) return c.answer(static_cast<int32_t>(bytes));
    // Characters of the system code page, stepped through by the system.
    int32_t n = 0;
    for (const char* p = text; p < text + bytes; ++n) {
        const char* next = CharNextA(p);
        p = next > p ? next : p + 1;
    }
    return c.answer(n);
}

bool angle2P(Call& c) {
    const Point a = c.point("point1"), b = c.point("point2");
    if (equalPoints(a, b, c.tol())) return c.none();
    return c.result(toHost(angleOf(c.conv.angle2PFromFirst ? b - a : a - b), c.conv));
}

bool insideLine(Call& c) {
    const LineShape l = c.in<LineShape>("line");
    return c.verdict(onSegment(c.point("point"), {pointOf(l.start), pointOf(l.end)}, c.tol()));
}

bool insideCurve(Call& c, const Curve& k) {
    const Point p = c.point("point");
    if (c.conv.insideArcRangeOnly)
        return c.verdict(k.conic.r1 > 0 && k.conic.r2 > 0 &&
                         insideSweep(conicParameter(k.conic, p), k.start, k.sweep, c.tol()));
    return c.verdict(onCurve(p, k, c.tol()));
}
bool insideArc(Call& c) { return insideCurve(c, Curve::arc(arcOf(c.in<ArcShape>("arc"), c.conv))); }
bool insideEllArc(Call& c) { return insideCurve(c, Curve::ellArc(ellArcOf(c.in<EllArcShape>("ellArc"), c.conv))); }

bool intOfALineALine(Call& c) {
    const Point a = c.point("pointA"), b = c.point("pointB");
    const Line la{a, a + direction(toModel(c.f64("angleA"), c.conv))};
    const Line lb{b, b + direction(toModel(c.f64("angleB"), c.conv))};
    const std::optional<LineCrossing> x = intersectLines(la, lb, c.tol());
    return pointOut(c, x ? std::optional<Point>(x->p) : std::nullopt);
}

bool intOfLineLine(Call& c) {
    const Line a{c.point("lineA1"), c.point("lineA2")}, b{c.point("lineB1"), c.point("lineB2")};
    if (!c.conv.intOfLineLineSegments) {
        const std::optional<LineCrossing> x = intersectLines(a, b, c.tol());
        return pointOut(c, x ? std::optional<Point>(x->p) : std::nullopt);
    }
    const Hits h = keepWithin(intersect(Curve::segment(a), Curve::segment(b), c.tol()), true);
    return pointOut(c, h.count ? std::optional<Point>(h.items[0].p) : std::nullopt);
}

bool intOfLineCircle(Call& c) {
    const Curve l = Curve::endless({c.point("linePoint1"), c.point("linePoint2")});
    const Curve k = Curve::circle({c.point("center"), c.f64("radius")});
    return solutions(c, intersect(l, k, c.tol()), {"out1", "out2"}, c.conv.intOfLineCircleAnswer);
}

bool intOfCircleCircle(Call& c) {
    const Curve a = Curve::circle({c.point("centerA"), c.f64("radiusA")});
    const Curve b = Curve::circle({c.point("centerB"), c.f64("radiusB")});
    return solutions(c, intersect(a, b, c.tol()), {"out1", "out2"}, c.conv.intOfCircleCircleAnswer);
}

Ellipse ellipseArgs(Call& c, std::string_view centre, std::string_view r1, std::string_view r2, std::string_view axis) {
    return {c.point(centre), c.f64(r1), c.f64(r2), toModel(c.f64(axis), c.conv)};
}

bool intOfLineElli(Call& c) {
    const Curve l = Curve::endless({c.point("linePoint1"), c.point("linePoint2")});
    const Curve e = Curve::ellipse(ellipseArgs(c, "center", "radius1", "radius2", "axisAngle"));
    return solutions(c, intersect(l, e, c.tol()), {"out1", "out2"}, c.conv.intOfLineElliAnswer);
}

bool intOfCircleElli(Call& c) {
    const Curve a = Curve::circle({c.point("centerA"), c.f64("radiusA")});
    const Curve b = Curve::ellipse(ellipseArgs(c, "centerB", "radiusB1", "radiusB2", "axisAngleB"));
    return solutions(c, intersect(a, b, c.tol()), {"out1", "out2", "out3", "out4"}, c.conv.intOfCircleElliAnswer);
}

bool intOfElliElli(Call& c) {
    const Curve a = Curve::ellipse(ellipseArgs(c, "centerA", "radiusA1", "radiusA2", "axisAngleA"));
    const Curve b = Curve::ellipse(ellipseArgs(c, "centerB", "radiusB1", "radiusB2", "axisAngleB"));
    return solutions(c, intersect(a, b, c.tol()), {"out1", "out2", "out3", "out4"}, c.conv.intOfElliElliAnswer);
}

// ------------------------------------------------------------ the table

using Handler = bool (*)(Call&);
struct Entry {
    std::string_view name;
    Handler run;
};

// Every calculation the model answers.  VokCalTransString is left out: the
// text's height and angle lie in the StringAttr, whose layout is the host's.
constexpr Entry kHandlers[] = {
    {"VokCalGetEpsLen", getEpsLen},
    {"VokCalGetEpsAng", getEpsAng},
    {"VokCalSetEpsLen", setEpsLen},
    {"VokCalSetEpsAng", setEpsAng},
    {"VokCalResetEps", resetEps},
    {"VokCalEquP", equP},
    {"VokCalEquLen", equLen},
    {"VokCalCompRad", compRad},
    {"VokCalInsideRad", insideRad},
    {"VokCalInsideRect", insideRectCalc},
    {"VokCalInsideConvex", insideConvexCalc},
    {"VokCalRadToDeg", radToDegCalc},
    {"VokCalDegToRad", degToRadCalc},
    {"VokCalNormRad", normRad},
    {"VokCalAngle3P", angle3P},
    {"VokCalIntersection", intersection},
    {"VokCalPerpend", perpend},
    {"VokCalTangent", tangent},
    {"VokCalCenter3P", center3P},
    {"VokCalMidP", midP},
    {"VokCalAngularPointOnCircle", angularPointOnCircle},
    {"VokCalAngularPointOnEllipse", angularPointOnEllipse},
    {"VokCalDist2P", dist2P},
    {"VokCalDistToLine", distToLine},
    {"VokCalVecOf2P", vecOf2P},
    {"VokCalAddVecToPoint", addVecToPoint},
    {"VokCalAddVec", addVec},
    {"VokCalSubVec", subVec},
    {"VokCalMultiVec", multiVec},
    {"VokCalUnifyVec", unifyVec},
    {"VokCalVecLen", vecLen},
    {"VokCalVecAng", vecAng},
    {"VokCalPerpVec", perpVec},
    {"VokCalInProduct", inProduct},
    {"VokCalOutProduct", outProduct},
    {"VokCalMatrixDeterminant", matrixDeterminant},
    {"VokCalMatrixMove", matrixMove},
    {"VokCalMatrixRotate", matrixRotate},
    {"VokCalMatrixScale", matrixScale},
    {"VokCalMatrixMirror", matrixMirror},
    {"VokCalMultiMatrix", multiMatrix},
    {"VokCalInvMatrix", invMatrix},
    {"VokCalTransCoord", transCoord},
    {"VokCalTransAngle", transAngle},
    {"VokCalTransPoint", transPoint},
    {"VokCalTransLine", transLine},
    {"VokCalTransCircle", transCircle},
    {"VokCalTransArc", transArc},
    {"VokCalTransEllipse", transEllipse},
    {"VokCalTransEllArc", transEllArc},
    {"VokCalNumOfChar", numOfChar},
    {"VokCalAngle2P", angle2P},
    {"VokCalInsideLine", insideLine},
    {"VokCalInsideArc", insideArc},
    {"VokCalInsideEllArc", insideEllArc},
    {"VokCalIntOfALineALine", intOfALineALine},
    {"VokCalIntOfLineLine", intOfLineLine},
    {"VokCalIntOfLineCircle", intOfLineCircle},
    {"VokCalIntOfCircleCircle", intOfCircleCircle},
    {"VokCalIntOfLineElli", intOfLineElli},
    {"VokCalIntOfCircleElli", intOfCircleElli},
    {"VokCalIntOfElliElli", intOfElliElli},
};

constexpr uint32_t kFirstCode = 2000, kLastCode = 2062;

// The handlers by command code; a name that is not a geometry export of the table stops the build here.
constexpr auto kByCode = [] {
    std::array<Handler, kLastCode - kFirstCode + 1> t{};
    for (const Entry& e : kHandlers) {
        const kavtable::Export* x = kavtable::findExport(e.name);
        if (!x || x->code < kFirstCode || x->code > kLastCode || t[x->code - kFirstCode])
            throw "a handler names no geometry export, or one twice";
        t[x->code - kFirstCode] = e.run;
    }
    return t;
}();

Handler handlerFor(const ExportLayout& layout) {
    if (layout.code < kFirstCode || layout.code > kLastCode) return nullptr;
    return kByCode[layout.code - kFirstCode];
}

}  // namespace

bool IsModelledCalculation(const ExportLayout& layout) { return handlerFor(layout) != nullptr; }

CalcRequest calcRequestOf(const Decoded& d, const uint8_t* payload, size_t size, const ShapeSource* shapes) {
    CalcRequest r;
    r.layout = d.known && d.names.size() == 1 && d.problem.empty() ? rowOf(d) : nullptr;
    r.lParam = d.lParam;
    r.payload = payload;
    r.size = size;
    r.segments = d.segments;
    r.shapes = shapes;
    return r;
}

bool AnswerCalculationInPlace(const CalcRequest& req, CalcState& state, const CalcConventions& conv, Reply& out) {
    out.reuse();
    if (!req.layout || (!req.payload && req.size) || req.segments.size() != req.layout->segments.size()) return false;
    const Handler run = handlerFor(*req.layout);
    if (!run) return false;
    out.source = "model";
    Call call(req, state, conv, out);
    if (!run(call) || call.broken()) {
        out.reuse();
        return false;
    }
    if (req.layout->result == ResultForm::I16) out.answer &= 0xFFFF;
    return true;
}

bool AnswerCalculation(const CalcRequest& req, CalcState& state, const CalcConventions& conv, Reply& out) {
    Reply reply;
    if (!AnswerCalculationInPlace(req, state, conv, reply)) return false;
    out = std::move(reply);
    return true;
}

// ------------------------------------------------------------ records

std::optional<Curve> curveOf(const ElementShape& s, const CalcConventions& conv) {
    using K = ElementShape::Kind;
    switch (s.kind) {
    case K::Point: return Curve::point(pointOf(s.point));
    case K::Line: return Curve::segment({pointOf(s.line.start), pointOf(s.line.end)});
    case K::LongLine: return Curve::endless({pointOf(s.line.start), pointOf(s.line.end)});
    case K::Circle: return Curve::circle({pointOf(s.circle.center), s.circle.radius});
    case K::Arc: return Curve::arc(arcOf(s.arc, conv));
    case K::Ellipse: return Curve::ellipse(ellipseOf(s.ellipse, conv));
    case K::EllArc: return Curve::ellArc(ellArcOf(s.ellArc, conv));
    case K::None: case K::Other: break;
    }
    return std::nullopt;
}

Arc arcOf(const ArcShape& a, const CalcConventions& conv) {
    const Range r = rangeFromHost(a.startAngle, a.endAngle, conv);
    return {{pointOf(a.center), a.radius}, r.start, r.sweep};
}

ArcShape arcRecord(const Arc& a, int32_t flag, const CalcConventions& conv) {
    ArcShape out{};
    out.center = pointRecord(a.circle.c);
    out.radius = a.circle.r;
    rangeToHost({a.start, a.sweep}, conv, out.startAngle, out.endAngle);
    out.arcFlag = flag;
    return out;
}

Ellipse ellipseOf(const EllipseShape& e, const CalcConventions& conv) {
    return {pointOf(e.center), e.radius1, e.radius2, toModel(e.axisAngle, conv)};
}

EllipseShape ellipseRecord(const Ellipse& e, const CalcConventions& conv) {
    return {pointRecord(e.c), e.r1, e.r2, toHost(e.axis, conv)};
}

EllArc ellArcOf(const EllArcShape& a, const CalcConventions& conv) {
    const Ellipse e{pointOf(a.center), a.radius1, a.radius2, toModel(a.axisAngle, conv)};
    const Range r = parameterRange(e, rangeFromHost(a.startAngle, a.endAngle, conv), conv);
    return {e, r.start, r.sweep};
}

EllArcShape ellArcRecord(const EllArc& a, int32_t flag, const CalcConventions& conv) {
    const EllipseShape e = ellipseRecord(a.ellipse, conv);
    EllArcShape out{};
    out.center = e.center;
    out.radius1 = e.radius1;
    out.radius2 = e.radius2;
    out.axisAngle = e.axisAngle;
    rangeToHost(hostRange(a.ellipse, {a.start, a.sweep}, conv), conv, out.startAngle, out.endAngle);
    out.arcFlag = flag;
    return out;
}

namespace {
// Where a, b, tx, c, d, ty lie among the six doubles.
constexpr std::array<size_t, 6> kRowMajor = {0, 1, 2, 3, 4, 5}, kColumnMajor = {0, 2, 4, 1, 3, 5};
const std::array<size_t, 6>& places(const CalcConventions& conv) {
    return conv.matrixLayout == MatrixLayout::RowMajor ? kRowMajor : kColumnMajor;
}
}  // namespace

Affine matrixOf(const TransMatrix& m, const CalcConventions& conv) {
    double v[6];
    for (size_t i = 0; i < 6; ++i) std::memcpy(&v[i], m.bytes + 8 * places(conv)[i], 8);
    return {v[0], v[1], v[3], v[4], v[2], v[5]};
}

TransMatrix matrixRecord(const Affine& a, const CalcConventions& conv) {
    TransMatrix m{};
    const double v[6] = {a.a, a.b, a.tx, a.c, a.d, a.ty};
    for (size_t i = 0; i < 6; ++i) std::memcpy(m.bytes + 8 * places(conv)[i], &v[i], 8);
    std::memcpy(m.bytes + 48, &conv.matrixTag, 4);
    return m;
}

}  // namespace kavhost::model
