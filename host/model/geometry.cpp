// The plane formulas of the host model.  Ellipses are handled in their
// unit frame, where the ellipse is the unit circle: lines stay lines there
// (with the same parameters), tangency is kept, and two conics meet where a
// quartic in the half-angle tangent has its real roots (Eigen's polynomial
// solver); every root found is checked against both curves before it counts.
#include "model/geometry.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/Polynomials>

#include <algorithm>
#include <vector>

namespace kavhost::model {
namespace {

// Where a point of the plane lies in the ellipse's unit frame, and back.
Vec toUnit(const Ellipse& e, Point p) {
    const Vec d = p - e.c;
    const double cs = std::cos(e.axis), sn = std::sin(e.axis);
    return {(cs * d.x + sn * d.y) / e.r1, (-sn * d.x + cs * d.y) / e.r2};
}

Point fromUnit(const Ellipse& e, Vec u) {
    const double cs = std::cos(e.axis), sn = std::sin(e.axis);
    const double x = u.x * e.r1, y = u.y * e.r2;
    return {e.c.x + cs * x - sn * y, e.c.y + sn * x + cs * y};
}

double figureScale(const Curve& c) {
    switch (c.kind) {
    case Curve::Kind::Point: return std::max(std::abs(c.p.x), std::abs(c.p.y));
    case Curve::Kind::Line:
        return std::max({std::abs(c.line.a.x), std::abs(c.line.a.y), std::abs(c.line.b.x), std::abs(c.line.b.y)});
    case Curve::Kind::Conic:
        return std::max({std::abs(c.conic.c.x), std::abs(c.conic.c.y), c.conic.r1, c.conic.r2});
    }
    return 0;
}

// How far apart two computed points may be and still count as one: the
// length tolerance, but never below the rounding of figures of this size.
// A touching pair is a double root of the quartic, found only to about the
// square root of the double's precision (1e-8 of the figure, less exactly
// still where x87 registers round differently), so that is the floor.
double mergeDistance(const Curve& a, const Curve& b, const Tolerance& tol) {
    return tol.len + 1e-7 * std::max(figureScale(a), figureScale(b));
}

// Adds h unless a solution within `merge` of it is already there.
void addDistinct(Hits& hits, const Hit& h, double merge) {
    for (const Hit& k : hits)
        if (distance(k.p, h.p) <= merge) return;
    hits.add(h);
}

// Real roots of c[0] + c[1] s + ... + c[4] s^4 after dropping leading
// coefficients too small to matter, each polished by Newton steps.
std::vector<double> realRoots(const std::array<double, 5>& c) {
    double scale = 0;
    for (double v : c) scale = std::max(scale, std::abs(v));
    std::vector<double> roots;
    if (scale == 0) return roots;
    int degree = 4;
    while (degree > 0 && std::abs(c[static_cast<size_t>(degree)]) <= 1e-12 * scale) --degree;
    if (degree == 0) return roots;
    if (degree == 1) {
        roots.push_back(-c[0] / c[1]);
        return roots;
    }
    Eigen::VectorXd poly(degree + 1);
    for (int i = 0; i <= degree; ++i) poly[i] = c[static_cast<size_t>(i)];
    Eigen::PolynomialSolver<double, Eigen::Dynamic> solver;
    solver.compute(poly);
    for (const auto& z : solver.roots()) {
        // A touching pair of curves gives a double root, which the solver
        // returns as a pair with tiny imaginary parts.
        if (std::abs(z.imag()) > 1e-6 * (1 + std::abs(z.real()))) continue;
        double s = z.real();
        for (int step = 0; step < 3; ++step) {
            double f = 0, df = 0;
            for (int i = degree; i >= 0; --i) {
                df = df * s + f;
                f = f * s + c[static_cast<size_t>(i)];
            }
            if (df == 0) break;
            const double next = s - f / df;
            if (!std::isfinite(next)) break;
            s = next;
        }
        roots.push_back(s);
    }
    return roots;
}

Vec halfAngleUnit(double s) {
    const double q = 1 + s * s;
    return {(1 - s * s) / q, 2 * s / q};
}

bool withinBounds(const Curve& c, Point p, const Tolerance& tol) {
    if (!c.bounded) return true;
    switch (c.kind) {
    case Curve::Kind::Point: return true;
    case Curve::Kind::Line: {
        const std::optional<double> t = footParameter(p, c.line, tol);
        if (!t) return distance(p, c.line.a) <= tol.len;
        const double slack = tol.len / length(c.line.along());
        return *t >= -slack && *t <= 1 + slack;
    }
    case Curve::Kind::Conic: return insideSweep(conicParameter(c.conic, p), c.start, c.sweep, tol);
    }
    return false;
}

// Lines meeting conics, through the unit frame; `along` is the line's parameter.
Hits lineConic(const Line& l, const Ellipse& e, const Tolerance& tol) {
    Hits out;
    const Vec q1 = toUnit(e, l.a), dq = toUnit(e, l.b) - q1;
    const double a = dot(dq, dq);
    if (a == 0 || e.r1 <= 0 || e.r2 <= 0) return out;
    const double t0 = -dot(q1, dq) / a;
    const double h = length(q1 + dq * t0);  // distance of the line from the centre, in the unit frame
    const double rMin = std::min(e.r1, e.r2);
    if (std::abs(h - 1) * rMin <= tol.len) {
        out.add({l.at(t0), t0, true});
        return out;
    }
    if (h > 1) return out;
    const double w = std::sqrt((1 - h * h) / a);
    out.add({l.at(t0 - w), t0 - w, true});
    out.add({l.at(t0 + w), t0 + w, true});
    return out;
}

Hits circleCircle(const Circle& a, const Circle& b, const Tolerance& tol) {
    Hits out;
    if (a.r <= 0 || b.r <= 0) return out;
    const Vec ab = b.c - a.c;
    const double d = length(ab);
    if (d <= tol.len) return out;  // concentric: none, or the same circle
    if (d > a.r + b.r + tol.len || d < std::abs(a.r - b.r) - tol.len) return out;
    const double x = (d * d + a.r * a.r - b.r * b.r) / (2 * d);
    const double h2 = a.r * a.r - x * x;
    const Vec ux = ab * (1 / d), uy = perpendicular(ux);
    const Point base = a.c + ux * x;
    if (h2 <= 0 || std::sqrt(h2) <= tol.len) {
        out.add({base, 0, true});
        return out;
    }
    const double h = std::sqrt(h2);
    out.add({base + uy * h, 0, true});
    out.add({base - uy * h, 0, true});
    return out;
}

// Two conics: `second` seen in the unit frame of `first` is the set of u
// with |M u + v| = 1; u = unit(s) on the unit circle turns that into a quartic in s.
Hits conicConic(const Ellipse& first, const Ellipse& second, double merge) {
    Hits out;
    if (first.r1 <= 0 || first.r2 <= 0 || second.r1 <= 0 || second.r2 <= 0) return out;
    auto frame = [](const Ellipse& e) {
        Eigen::Matrix2d r;
        r << std::cos(e.axis), -std::sin(e.axis), std::sin(e.axis), std::cos(e.axis);
        return r;
    };
    const Eigen::Matrix2d toSecond = Eigen::Vector2d(1 / second.r1, 1 / second.r2).asDiagonal() * frame(second).transpose();
    const Eigen::Matrix2d m = toSecond * frame(first) * Eigen::Vector2d(first.r1, first.r2).asDiagonal();
    const Eigen::Vector2d v = toSecond * Eigen::Vector2d(first.c.x - second.c.x, first.c.y - second.c.y);
    // (1 + s^2) (M u + v) = p0 + p1 s + p2 s^2.
    const Eigen::Vector2d p[3] = {m.col(0) + v, 2 * m.col(1), v - m.col(0)};
    std::array<double, 5> c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) c[static_cast<size_t>(i + j)] += p[i].dot(p[j]);
    c[0] -= 1;
    c[2] -= 2;
    c[4] -= 1;
    const double rMin = std::min(second.r1, second.r2);
    auto accept = [&](Vec u) {
        const double residual = (m * Eigen::Vector2d(u.x, u.y) + v).norm() - 1;
        if (std::abs(residual) * rMin > merge) return;
        addDistinct(out, {fromUnit(first, u), normalizeTwoPi(angleOf(u)), true}, merge);
    };
    double scale = 0;
    for (double k : c) scale = std::max(scale, std::abs(k));
    if (scale <= 1e-12) return out;  // the same conic twice
    for (double s : realRoots(c)) accept(halfAngleUnit(s));
    accept({-1, 0});  // s = infinity, which the quartic cannot show
    return out;
}

double ellipseFootFunction(double a, double b, Vec q, double t, double* derivative) {
    const double cs = std::cos(t), sn = std::sin(t);
    if (derivative) *derivative = -a * q.x * cs - b * q.y * sn + (a * a - b * b) * (cs * cs - sn * sn);
    return -a * q.x * sn + b * q.y * cs + (a * a - b * b) * sn * cs;
}

}  // namespace

std::optional<Vec> unit(Vec a, double eps) {
    const double l = length(a);
    if (l <= eps || l == 0) return std::nullopt;
    return a * (1 / l);
}

double normalizeTwoPi(double a) {
    if (!std::isfinite(a)) return a;
    double r = std::fmod(a, kTwoPi);
    if (r < 0) r += kTwoPi;
    if (r >= kTwoPi) r -= kTwoPi;
    return r;
}

double normalizePi(double a) {
    const double r = normalizeTwoPi(a);
    return r > kPi ? r - kTwoPi : r;
}

bool equalPoints(Point a, Point b, const Tolerance& tol) { return distance(a, b) <= tol.len; }
bool equalLengths(double a, double b, const Tolerance& tol) { return std::abs(a - b) <= tol.len; }
bool equalAngles(double a, double b, const Tolerance& tol) { return std::abs(normalizePi(a - b)) <= tol.ang; }

bool insideSweep(double a, double start, double sweep, const Tolerance& tol) {
    const double d = normalizeTwoPi(a - start);
    return d <= sweep + tol.ang || d >= kTwoPi - tol.ang;
}

double interiorAngle(Point vertex, Point a, Point b) {
    const Vec u = a - vertex, w = b - vertex;
    return std::atan2(std::abs(cross(u, w)), dot(u, w));
}

double directedAngle(Point vertex, Point a, Point b) {
    return normalizeTwoPi(angleOf(b - vertex) - angleOf(a - vertex));
}

std::optional<double> footParameter(Point p, const Line& l, const Tolerance& tol) {
    const Vec d = l.along();
    const double dd = dot(d, d);
    if (std::sqrt(dd) <= tol.len || dd == 0) return std::nullopt;
    return dot(p - l.a, d) / dd;
}

std::optional<Point> foot(Point p, const Line& l, const Tolerance& tol) {
    const std::optional<double> t = footParameter(p, l, tol);
    if (!t) return std::nullopt;
    return l.at(*t);
}

std::optional<double> distanceToLine(Point p, const Line& l, const Tolerance& tol) {
    const std::optional<Point> f = foot(p, l, tol);
    if (!f) return std::nullopt;
    return distance(p, *f);
}

bool onSegment(Point p, const Line& l, const Tolerance& tol) {
    const std::optional<double> t = footParameter(p, l, tol);
    if (!t) return distance(p, l.a) <= tol.len;
    const double clamped = std::clamp(*t, 0.0, 1.0);
    return distance(p, l.at(clamped)) <= tol.len;
}

std::optional<LineCrossing> intersectLines(const Line& first, const Line& second, const Tolerance& tol) {
    const Vec d1 = first.along(), d2 = second.along();
    const double den = cross(d1, d2);
    const double l1 = length(d1), l2 = length(d2);
    if (l1 <= tol.len || l2 <= tol.len) return std::nullopt;
    // Parallel when the lines' directions differ by less than the angle tolerance.
    if (std::abs(den) <= tol.ang * l1 * l2) return std::nullopt;
    const Vec w = second.a - first.a;
    LineCrossing x;
    x.t = cross(w, d2) / den;
    x.u = cross(w, d1) / den;
    x.p = first.at(x.t);
    return x;
}

bool insideRect(Point p, Point c1, Point c2, const Tolerance& tol) {
    return p.x >= std::min(c1.x, c2.x) - tol.len && p.x <= std::max(c1.x, c2.x) + tol.len &&
           p.y >= std::min(c1.y, c2.y) - tol.len && p.y <= std::max(c1.y, c2.y) + tol.len;
}

bool insideConvex(Point p, const Point* corners, size_t count, const Tolerance& tol) {
    if (count < 3) return false;
    bool left = true, right = true;
    for (size_t i = 0; i < count; ++i) {
        const Point a = corners[i], b = corners[(i + 1) % count];
        const double edge = length(b - a);
        const double side = cross(b - a, p - a);  // edge length times the signed distance
        if (side < -tol.len * edge) left = false;
        if (side > tol.len * edge) right = false;
    }
    return left || right;
}

Point pointOnEllipse(const Ellipse& e, double t) { return fromUnit(e, {std::cos(t), std::sin(t)}); }

double parameterOfPolar(const Ellipse& e, double polar) {
    return std::atan2(e.r1 * std::sin(polar), e.r2 * std::cos(polar));
}

double polarOfParameter(const Ellipse& e, double t) { return std::atan2(e.r2 * std::sin(t), e.r1 * std::cos(t)); }

std::optional<Point> centre3(Point p1, Point p2, Point p3, const Tolerance& tol) {
    const Vec b = p2 - p1, c = p3 - p1;
    const double lb = length(b), lc = length(c);
    if (lb <= tol.len || lc <= tol.len) return std::nullopt;
    const double d = 2 * cross(b, c);
    if (std::abs(d) / (2 * lb) <= tol.len) return std::nullopt;  // p3 lies on the line p1 p2
    const double bb = dot(b, b), cc = dot(c, c);
    return p1 + Vec{(c.y * bb - b.y * cc) / d, (b.x * cc - c.x * bb) / d};
}

Curve Curve::point(Point p) {
    Curve c;
    c.kind = Kind::Point;
    c.p = p;
    return c;
}

Curve Curve::segment(const Line& l) {
    Curve c = endless(l);
    c.bounded = true;
    return c;
}

Curve Curve::endless(const Line& l) {
    Curve c;
    c.kind = Kind::Line;
    c.line = l;
    return c;
}

Curve Curve::circle(const Circle& k) { return ellipse(asEllipse(k)); }

namespace {
Curve within(Curve c, double start, double sweep) {
    c.bounded = true;
    c.start = start;
    c.sweep = sweep;
    return c;
}
}  // namespace

Curve Curve::arc(const Arc& a) { return within(circle(a.circle), a.start, a.sweep); }

Curve Curve::ellipse(const Ellipse& e) {
    Curve c;
    c.kind = Kind::Conic;
    c.conic = e;
    return c;
}

Curve Curve::ellArc(const EllArc& a) { return within(ellipse(a.ellipse), a.start, a.sweep); }

double conicParameter(const Ellipse& e, Point p) { return normalizeTwoPi(angleOf(toUnit(e, p))); }

bool onCurve(Point p, const Curve& c, const Tolerance& tol) {
    switch (c.kind) {
    case Curve::Kind::Point: return equalPoints(p, c.p, tol);
    case Curve::Kind::Line: {
        const std::optional<double> d = distanceToLine(p, c.line, tol);
        if (!d) return distance(p, c.line.a) <= tol.len;
        return *d <= tol.len && withinBounds(c, p, tol);
    }
    case Curve::Kind::Conic: {
        const Hits f = feet(p, c, tol);
        if (f.count == 0) return false;
        return distance(p, f.items[0].p) <= tol.len && withinBounds(c, p, tol);
    }
    }
    return false;
}

Hits intersect(const Curve& first, const Curve& second, const Tolerance& tol) {
    using K = Curve::Kind;
    Hits raw;
    const double merge = mergeDistance(first, second, tol);
    const Curve* pointCurve = first.kind == K::Point ? &first : second.kind == K::Point ? &second : nullptr;
    if (pointCurve) {
        const Curve& other = pointCurve == &first ? second : first;
        Curve carrier = other;
        carrier.bounded = false;
        if (onCurve(pointCurve->p, carrier, tol)) raw.add({pointCurve->p, 0, true});
    } else if (first.kind == K::Line && second.kind == K::Line) {
        if (const auto x = intersectLines(first.line, second.line, tol)) raw.add({x->p, x->t, true});
    } else if (first.kind == K::Line || second.kind == K::Line) {
        const Curve& l = first.kind == K::Line ? first : second;
        const Curve& e = first.kind == K::Line ? second : first;
        raw = lineConic(l.line, e.conic, tol);
    } else if (first.isCircle() && second.isCircle()) {
        raw = circleCircle({first.conic.c, first.conic.r1}, {second.conic.c, second.conic.r1}, tol);
    } else {
        raw = conicConic(first.conic, second.conic, merge);
    }
    Hits out;
    for (Hit h : raw) {
        if (first.kind == K::Conic) h.along = conicParameter(first.conic, h.p);
        else if (first.kind == K::Line) h.along = footParameter(h.p, first.line, tol).value_or(0);
        else h.along = 0;
        h.within = withinBounds(first, h.p, tol) && withinBounds(second, h.p, tol);
        addDistinct(out, h, merge);
    }
    return out;
}

Hits feet(Point p, const Curve& c, const Tolerance& tol) {
    Hits out;
    switch (c.kind) {
    case Curve::Kind::Point: break;
    case Curve::Kind::Line:
        if (const auto t = footParameter(p, c.line, tol)) {
            const Point f = c.line.at(*t);
            out.add({f, *t, withinBounds(c, f, tol)});
        }
        break;
    case Curve::Kind::Conic: {
        const Ellipse& e = c.conic;
        if (e.r1 <= 0 || e.r2 <= 0) break;
        Hits candidates;
        auto candidate = [&](double t) {
            const Point f = pointOnEllipse(e, t);
            candidates.add({f, normalizeTwoPi(t), withinBounds(c, f, tol)});
        };
        if (c.isCircle()) {
            const std::optional<Vec> u = unit(p - e.c, tol.len);
            if (!u) break;  // at the centre every point is a foot
            candidate(angleOf(*u));
            candidate(angleOf(*u) + kPi);
        } else {
            // In the ellipse's own frame (centred, axes along x and y) a foot at
            // parameter t makes (q - point(t)) normal to the ellipse.
            const double cs = std::cos(e.axis), sn = std::sin(e.axis);
            const Vec d = p - e.c, q{cs * d.x + sn * d.y, -sn * d.x + cs * d.y};
            const double a = e.r1, b = e.r2, k = a * a - b * b;
            const std::array<double, 5> coeffs{b * q.y, 2 * k - 2 * a * q.x, 0, -2 * a * q.x - 2 * k, -b * q.y};
            const double scale = a * (std::abs(q.x) + std::abs(q.y) + a);
            std::vector<double> ts;
            for (double s : realRoots(coeffs)) ts.push_back(2 * std::atan(s));
            ts.push_back(kPi);
            for (double t : ts) {
                for (int step = 0; step < 3; ++step) {
                    double df = 0;
                    const double f = ellipseFootFunction(a, b, q, t, &df);
                    if (df == 0) break;
                    t -= f / df;
                }
                if (std::abs(ellipseFootFunction(a, b, q, t, nullptr)) > 1e-9 * scale) continue;
                bool seen = false;
                for (const Hit& k : candidates)
                    if (distance(k.p, pointOnEllipse(e, t)) <= tol.len) seen = true;
                if (!seen) candidate(t);
            }
        }
        candidates.sort([&](const Hit& x, const Hit& y) { return distance(p, x.p) < distance(p, y.p); });
        out = candidates;
        break;
    }
    }
    return out;
}

Hits tangentPoints(Point p, const Curve& c, const Tolerance& tol) {
    Hits out;
    if (c.kind != Curve::Kind::Conic || c.conic.r1 <= 0 || c.conic.r2 <= 0) return out;
    const Ellipse& e = c.conic;
    const Vec q = toUnit(e, p);
    const double r = length(q);
    auto add = [&](double t) {
        const Point f = pointOnEllipse(e, t);
        out.add({f, normalizeTwoPi(t), withinBounds(c, f, tol)});
    };
    if (std::abs(r - 1) * std::min(e.r1, e.r2) <= tol.len) {
        add(angleOf(q));
        return out;
    }
    if (r < 1) return out;
    const double phi = angleOf(q), alpha = std::acos(1 / r);
    add(phi + alpha);
    add(phi - alpha);
    return out;
}

Affine Affine::rotation(double angle) {
    const double cs = std::cos(angle), sn = std::sin(angle);
    return {cs, -sn, sn, cs, 0, 0};
}

Affine Affine::mirror(double axisAngle) {
    const double cs = std::cos(2 * axisAngle), sn = std::sin(2 * axisAngle);
    return {cs, sn, sn, -cs, 0, 0};
}

namespace {
Eigen::Matrix3d toEigen(const Affine& m) {
    Eigen::Matrix3d e;
    e << m.a, m.b, m.tx, m.c, m.d, m.ty, 0, 0, 1;
    return e;
}
Affine fromEigen(const Eigen::Matrix3d& e) { return {e(0, 0), e(0, 1), e(1, 0), e(1, 1), e(0, 2), e(1, 2)}; }
Eigen::Matrix2d linear(const Affine& m) {
    Eigen::Matrix2d l;
    l << m.a, m.b, m.c, m.d;
    return l;
}
}  // namespace

Affine compose(const Affine& first, const Affine& then) { return fromEigen(toEigen(then) * toEigen(first)); }

std::optional<Affine> inverse(const Affine& m, const Tolerance&) {
    const double size = std::max({std::abs(m.a), std::abs(m.b), std::abs(m.c), std::abs(m.d)});
    if (size == 0 || std::abs(m.determinant()) <= 1e-12 * size * size) return std::nullopt;
    return fromEigen(toEigen(m).inverse());
}

std::optional<double> transformAngle(const Affine& m, double angle, const Tolerance& tol) {
    const std::optional<Vec> v = unit(m.applyVector(direction(angle)), tol.len);
    if (!v) return std::nullopt;
    return angleOf(*v);
}

Line transform(const Affine& m, const Line& l) { return {m.apply(l.a), m.apply(l.b)}; }

std::optional<Circle> transform(const Affine& m, const Circle& c, const Tolerance& tol) {
    const Eigen::JacobiSVD<Eigen::Matrix2d> svd(linear(m));
    const Eigen::Vector2d s = svd.singularValues();
    if ((s[0] - s[1]) * c.r > tol.len) return std::nullopt;  // the image would not be round
    return Circle{m.apply(c.c), c.r * (s[0] + s[1]) / 2};
}

std::optional<Arc> transform(const Affine& m, const Arc& a, const Tolerance& tol) {
    const std::optional<Circle> k = transform(m, a.circle, tol);
    if (!k) return std::nullopt;
    const std::optional<double> s = transformAngle(m, a.start, tol), e = transformAngle(m, a.start + a.sweep, tol);
    if (!s || !e) return std::nullopt;
    // A mirroring map turns the arc round: its image runs counterclockwise from the image of its end.
    return Arc{*k, normalizeTwoPi(m.determinant() < 0 ? *e : *s), a.sweep};
}

namespace {
// The image of e under m as an ellipse, and the map of parameters: u(t') = v u(t).
struct EllipseImage {
    Ellipse e;
    Eigen::Matrix2d v;
};
std::optional<EllipseImage> ellipseImage(const Affine& m, const Ellipse& e, const Tolerance& tol) {
    Eigen::Matrix2d rot;
    rot << std::cos(e.axis), -std::sin(e.axis), std::sin(e.axis), std::cos(e.axis);
    const Eigen::Matrix2d n = linear(m) * rot * Eigen::Vector2d(e.r1, e.r2).asDiagonal();
    const Eigen::JacobiSVD<Eigen::Matrix2d> svd(n, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::Vector2d s = svd.singularValues();
    if (s[1] <= tol.len) return std::nullopt;  // flattened into a segment
    Eigen::Matrix2d u = svd.matrixU(), v = svd.matrixV();
    if (u.determinant() < 0) {  // make the new axes a rotation of the old ones
        u.col(1) *= -1;
        v.col(1) *= -1;
    }
    const Point c = m.apply(e.c);
    return EllipseImage{{c, s[0], s[1], std::atan2(u(1, 0), u(0, 0))}, v.transpose()};
}
double mapParameter(const Eigen::Matrix2d& v, double t) {
    const Eigen::Vector2d w = v * Eigen::Vector2d(std::cos(t), std::sin(t));
    return std::atan2(w[1], w[0]);
}
}  // namespace

std::optional<Ellipse> transform(const Affine& m, const Ellipse& e, const Tolerance& tol) {
    const std::optional<EllipseImage> img = ellipseImage(m, e, tol);
    if (!img) return std::nullopt;
    return img->e;
}

std::optional<EllArc> transform(const Affine& m, const EllArc& a, const Tolerance& tol) {
    const std::optional<EllipseImage> img = ellipseImage(m, a.ellipse, tol);
    if (!img) return std::nullopt;
    const double s = mapParameter(img->v, a.start), e = mapParameter(img->v, a.start + a.sweep);
    return EllArc{img->e, normalizeTwoPi(m.determinant() < 0 ? e : s), a.sweep};
}

}  // namespace kavhost::model
