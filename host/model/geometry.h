// Plane geometry of the host model: points and vectors, lines, circles,
// arcs, ellipses and elliptic arcs, their intersections, feet and tangent
// points, and affine transformations.  Everything here works in one frame:
// angles in radians, counterclockwise from the positive x axis, and arcs
// running counterclockwise from `start` over `sweep`.  What the host means by
// its numbers (angle sense, an arc's second angle, record layouts) is turned
// into this frame by calculations.cpp, following CalcConventions.
#pragma once
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

namespace kavhost::model {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2 * kPi;

// ------------------------------------------------------------ points and vectors

struct Vec {
    double x = 0, y = 0;
};
using Point = Vec;

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
inline Vec operator*(double k, Vec a) { return a * k; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
// The z component of the cross product: positive when b lies counterclockwise of a.
inline double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
// sqrt(x² + y²) is within an ulp of hypot and a fraction of its cost;
// hypot is kept for the sizes whose squares would overflow or vanish.
inline double length(Vec a) {
    const double ax = std::fabs(a.x), ay = std::fabs(a.y), m = ax > ay ? ax : ay;
    if (m > 1e150 || (m < 1e-150 && m != 0)) return std::hypot(a.x, a.y);
    return std::sqrt(a.x * a.x + a.y * a.y);
}
inline double distance(Point a, Point b) { return length(b - a); }
inline Point midpoint(Point a, Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }
// Turned a quarter counterclockwise.
inline Vec perpendicular(Vec a) { return {-a.y, a.x}; }
inline Vec direction(double angle) { return {std::cos(angle), std::sin(angle)}; }
inline double angleOf(Vec a) { return std::atan2(a.y, a.x); }
// The vector of length 1 along `a`; none for a vector shorter than `eps`.
std::optional<Vec> unit(Vec a, double eps);

// ------------------------------------------------------------ tolerances and angles

struct Tolerance {
    double len = 1e-10;  // lengths closer than this are equal
    double ang = 1e-05;  // angles closer than this are equal
};

inline double radToDeg(double a) { return a * 180.0 / kPi; }
inline double degToRad(double d) { return d * kPi / 180.0; }
// Into [0, 2 pi).
double normalizeTwoPi(double a);
// Into (-pi, pi].
double normalizePi(double a);
bool equalPoints(Point a, Point b, const Tolerance& tol);
bool equalLengths(double a, double b, const Tolerance& tol);
// Equal as directions: the difference is a whole number of turns within tol.ang.
bool equalAngles(double a, double b, const Tolerance& tol);
// `a` lies on the counterclockwise sweep from `start` over `sweep` (0 to 2 pi), ends included within tol.ang.
bool insideSweep(double a, double start, double sweep, const Tolerance& tol);
// The angle at `vertex` between the arms to `a` and `b`: the smaller one, in [0, pi].
double interiorAngle(Point vertex, Point a, Point b);
// Counterclockwise from the arm to `a` to the arm to `b`, in [0, 2 pi).
double directedAngle(Point vertex, Point a, Point b);

// ------------------------------------------------------------ lines

struct Line {
    Point a, b;  // through a and b; as a segment, from a to b
    Vec along() const { return b - a; }
    Point at(double t) const { return a + along() * t; }
};

// The parameter t of the foot of the perpendicular from p (a + t (b - a)); none for a line of no length.
std::optional<double> footParameter(Point p, const Line& l, const Tolerance& tol);
std::optional<Point> foot(Point p, const Line& l, const Tolerance& tol);
// Distance from p to the endless line; none for a line of no length.
std::optional<double> distanceToLine(Point p, const Line& l, const Tolerance& tol);
// p lies on the segment, ends included, within tol.len.
bool onSegment(Point p, const Line& l, const Tolerance& tol);
// Where two endless lines meet, as parameters on each; none when they are parallel.
struct LineCrossing {
    double t = 0, u = 0;
    Point p;
};
std::optional<LineCrossing> intersectLines(const Line& first, const Line& second, const Tolerance& tol);
bool insideRect(Point p, Point corner1, Point corner2, const Tolerance& tol);
// Inside or on the edge of a convex polygon (either winding); fewer than three corners: false.
bool insideConvex(Point p, const Point* corners, size_t count, const Tolerance& tol);

// ------------------------------------------------------------ circles and ellipses

struct Circle {
    Point c;
    double r = 0;
};
// Counterclockwise from `start` over `sweep` (0 < sweep <= 2 pi).
struct Arc {
    Circle circle;
    double start = 0, sweep = kTwoPi;
};
// The first semi-axis r1 lies at `axis`; a point is c + R(axis) (r1 cos t, r2 sin t) for the parameter t.
struct Ellipse {
    Point c;
    double r1 = 0, r2 = 0, axis = 0;
};
// The ellipse from parameter `start` counterclockwise over `sweep`.
struct EllArc {
    Ellipse ellipse;
    double start = 0, sweep = kTwoPi;
};

inline Ellipse asEllipse(const Circle& c) { return {c.c, c.r, c.r, 0}; }
inline Point pointOnCircle(const Circle& c, double angle) { return c.c + direction(angle) * c.r; }
Point pointOnEllipse(const Ellipse& e, double parameter);
// The parameter of a point given by its angle from the centre, measured from the first axis, and back.
double parameterOfPolar(const Ellipse& e, double polar);
double polarOfParameter(const Ellipse& e, double parameter);
// The centre of the circle through three points; none when they lie on one line.
std::optional<Point> centre3(Point p1, Point p2, Point p3, const Tolerance& tol);

// ------------------------------------------------------------ curves and their meeting points

// One curve of the drawing: a point, a line (segment or endless) or a conic
// (an ellipse; a circle is one with equal semi-axes and axis 0, so that its
// parameter is its angle), bounded to a parameter range for arcs.
struct Curve {
    enum class Kind { Point, Line, Conic } kind = Kind::Point;
    Point p;            // Point
    Line line;          // Line
    Ellipse conic;      // Conic
    bool bounded = false;  // Line: only the segment; Conic: only start .. start + sweep
    double start = 0, sweep = kTwoPi;

    static Curve point(Point p);
    static Curve segment(const Line& l);
    static Curve endless(const Line& l);
    static Curve circle(const Circle& c);
    static Curve arc(const Arc& a);
    static Curve ellipse(const Ellipse& e);
    static Curve ellArc(const EllArc& a);
    bool isCircle() const { return kind == Kind::Conic && conic.r1 == conic.r2; }
};

// A solution: the point, where it lies along the curve it was found on
// (line parameter, or conic parameter in [0, 2 pi)), and whether it lies on
// the bounded parts of every curve involved.
struct Hit {
    Point p;
    double along = 0;
    bool within = true;
};

// At most four solutions, without allocation.
struct Hits {
    std::array<Hit, 4> items{};
    size_t count = 0;
    void add(const Hit& h) {
        if (count < items.size()) items[count++] = h;
    }
    const Hit* begin() const { return items.data(); }
    const Hit* end() const { return items.data() + count; }
    // Orders the few solutions by `less` (an insertion sort: there are at most four).
    template <class Less> void sort(Less less) {
        for (size_t i = 1; i < count; ++i)
            for (size_t j = i; j > 0 && less(items[j], items[j - 1]); --j) std::swap(items[j], items[j - 1]);
    }
};

// Where the two curves (their carriers: endless lines, whole conics) meet;
// `along` is measured on `first`, `within` tells whether the point lies on
// both as bounded.  Coinciding curves give no solutions.
Hits intersect(const Curve& first, const Curve& second, const Tolerance& tol);
// The feet of the perpendiculars from p onto the carrier, nearest first.  A
// point at the centre of a circle has none.
Hits feet(Point p, const Curve& c, const Tolerance& tol);
// The points where tangents through p touch the carrier (a conic): two from
// outside, one for p on it, none from inside or for a line or point.
Hits tangentPoints(Point p, const Curve& c, const Tolerance& tol);
// The parameter of a point of the conic's carrier, in [0, 2 pi).
double conicParameter(const Ellipse& e, Point p);
// p lies on the bounded curve within tol.len.
bool onCurve(Point p, const Curve& c, const Tolerance& tol);

// ------------------------------------------------------------ transformations

// x' = a x + b y + tx,  y' = c x + d y + ty.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static Affine translation(Vec v) { return {1, 0, 0, 1, v.x, v.y}; }
    static Affine rotation(double angle);  // about the origin, counterclockwise
    static Affine scaling(double k) { return {k, 0, 0, k, 0, 0}; }
    static Affine mirror(double axisAngle);  // about the line through the origin at axisAngle
    double determinant() const { return a * d - b * c; }
    Point apply(Point p) const { return {a * p.x + b * p.y + tx, c * p.x + d * p.y + ty}; }
    Vec applyVector(Vec v) const { return {a * v.x + b * v.y, c * v.x + d * v.y}; }
};
// `first` applied, then `then`.
Affine compose(const Affine& first, const Affine& then);
std::optional<Affine> inverse(const Affine& m, const Tolerance& tol);
// The direction `angle` after the linear part of m; none when m flattens it.
std::optional<double> transformAngle(const Affine& m, double angle, const Tolerance& tol);
Line transform(const Affine& m, const Line& l);
// A circle stays a circle only when m keeps it round within tol.len.
std::optional<Circle> transform(const Affine& m, const Circle& c, const Tolerance& tol);
std::optional<Arc> transform(const Affine& m, const Arc& a, const Tolerance& tol);
// None when m flattens the ellipse.
std::optional<Ellipse> transform(const Affine& m, const Ellipse& e, const Tolerance& tol);
std::optional<EllArc> transform(const Affine& m, const EllArc& a, const Tolerance& tol);

}  // namespace kavhost::model
