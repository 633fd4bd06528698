// The model's plane formulas: known values, and properties that any answer
// must have (a meeting point lies on both curves, a foot makes a right angle,
// maps compose), over a table of figures and over seeded random ones.
#include "model/geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace kavhost::model;

namespace {

const Tolerance kTol{1e-9, 1e-9};

// Distance from p to the carrier of c (the endless line, the whole conic).
double offCarrier(Point p, Curve c) {
    c.bounded = false;
    if (c.kind == Curve::Kind::Line) return *distanceToLine(p, c.line, kTol);
    if (c.kind == Curve::Kind::Point) return distance(p, c.p);
    return distance(p, feet(p, c, kTol).items[0].p);
}

bool has(const Hits& h, Point p) {
    for (const Hit& k : h)
        if (distance(k.p, p) < 1e-7) return true;
    return false;
}

struct MeetCase {
    const char* what;
    Curve a, b;
    size_t count;
    std::vector<Point> expected;
};

TEST(Geometry, CurvesMeetWhereTheyShould) {
    const double r5 = 2 / std::sqrt(5.0);
    const MeetCase cases[] = {
        {"line through a circle", Curve::endless({{-9, 0}, {9, 0}}), Curve::circle({{0, 0}, 5}), 2, {{-5, 0}, {5, 0}}},
        {"line touching a circle", Curve::endless({{-9, 5}, {9, 5}}), Curve::circle({{0, 0}, 5}), 1, {{0, 5}}},
        {"line missing a circle", Curve::endless({{-9, 6}, {9, 6}}), Curve::circle({{0, 0}, 5}), 0, {}},
        {"two circles", Curve::circle({{0, 0}, 5}), Curve::circle({{8, 0}, 5}), 2, {{4, 3}, {4, -3}}},
        {"circles touching", Curve::circle({{0, 0}, 5}), Curve::circle({{10, 0}, 5}), 1, {{5, 0}}},
        {"concentric circles", Curve::circle({{0, 0}, 5}), Curve::circle({{0, 0}, 5}), 0, {}},
        {"line and ellipse", Curve::endless({{2, -9}, {2, 9}}), Curve::ellipse({{0, 0}, 4, 2, 0}), 2,
         {{2, std::sqrt(3.0)}, {2, -std::sqrt(3.0)}}},
        {"crossed ellipses", Curve::ellipse({{0, 0}, 2, 1, 0}), Curve::ellipse({{0, 0}, 2, 1, kPi / 2}), 4,
         {{r5, r5}, {-r5, r5}, {r5, -r5}, {-r5, -r5}}},
        {"circle inside touching an ellipse", Curve::circle({{0, 0}, 1}), Curve::ellipse({{0, 0}, 2, 1, 0}), 2,
         {{0, 1}, {0, -1}}},
        {"ellipse meeting at s = infinity", Curve::ellipse({{0, 0}, 2, 1, 0}), Curve::circle({{-2, 0}, 1}), 2, {}},
        {"the same ellipse twice", Curve::ellipse({{1, 1}, 3, 1, 0.3}), Curve::ellipse({{1, 1}, 3, 1, 0.3}), 0, {}},
        {"far apart ellipses", Curve::ellipse({{0, 0}, 2, 1, 0}), Curve::ellipse({{9, 0}, 2, 1, 1}), 0, {}},
        {"point on a line", Curve::point({3, 3}), Curve::endless({{0, 0}, {1, 1}}), 1, {{3, 3}}},
        {"parallel lines", Curve::endless({{0, 0}, {1, 0}}), Curve::endless({{0, 1}, {1, 1}}), 0, {}},
    };
    for (const MeetCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (int swap = 0; swap < 2; ++swap) {
            const Hits h = swap ? intersect(c.b, c.a, kTol) : intersect(c.a, c.b, kTol);
            EXPECT_EQ(h.count, c.count);
            for (Point p : c.expected) EXPECT_TRUE(has(h, p)) << p.x << ", " << p.y;
            for (const Hit& k : h) {
                EXPECT_LT(offCarrier(k.p, c.a), 1e-8);
                EXPECT_LT(offCarrier(k.p, c.b), 1e-8);
            }
        }
    }
}

// Seeded figures, the same in every run.
struct Lcg {
    uint32_t s = 12345;
    double next(double lo, double hi) {
        s = s * 1664525u + 1013904223u;
        return lo + (hi - lo) * (s >> 8) / 16777216.0;
    }
};

// How often second's implicit function changes sign along first: the number
// of crossings.  `nearTouch` tells of a turn of the function close to zero,
// a touch or a near miss that the samples cannot settle.
int signChanges(const Ellipse& first, const Ellipse& second, bool& nearTouch) {
    const int n = 3000;
    int changes = 0;
    double prev2 = 0, prev = 0;
    nearTouch = false;
    for (int i = 0; i <= n + 1; ++i) {
        const Point p = pointOnEllipse(first, kTwoPi * i / n);
        const Vec d = p - second.c;
        const double cs = std::cos(second.axis), sn = std::sin(second.axis);
        const double u = (cs * d.x + sn * d.y) / second.r1, v = (-sn * d.x + cs * d.y) / second.r2;
        const double f = u * u + v * v - 1;
        if (i > 0 && i <= n && (f < 0) != (prev < 0)) ++changes;
        if (i > 1 && (prev - prev2) * (f - prev) <= 0 && std::abs(prev) < 0.05) nearTouch = true;
        prev2 = prev;
        prev = f;
    }
    return changes;
}

TEST(Geometry, RandomEllipsesMeetOnBothCurvesAsOftenAsTheyCross) {
    Lcg rnd;
    int checked = 0;
    for (int i = 0; i < 120; ++i) {
        const Ellipse a{{rnd.next(-3, 3), rnd.next(-3, 3)}, rnd.next(0.5, 4), rnd.next(0.5, 4), rnd.next(0, kPi)};
        const Ellipse b{{rnd.next(-3, 3), rnd.next(-3, 3)}, rnd.next(0.5, 4), rnd.next(0.5, 4), rnd.next(0, kPi)};
        bool nearTouch = false;
        const int crossings = signChanges(a, b, nearTouch);
        const Hits h = intersect(Curve::ellipse(a), Curve::ellipse(b), kTol);
        for (const Hit& k : h) {
            EXPECT_LT(offCarrier(k.p, Curve::ellipse(a)), 1e-8) << i;
            EXPECT_LT(offCarrier(k.p, Curve::ellipse(b)), 1e-8) << i;
        }
        if (nearTouch) continue;
        EXPECT_EQ(static_cast<int>(h.count), crossings) << "pair " << i;
        ++checked;
    }
    EXPECT_GT(checked, 90);
}

TEST(Geometry, FeetAreNearestAndPerpendicular) {
    Lcg rnd;
    const Curve curves[] = {Curve::ellipse({{1, -1}, 5, 2, 0.4}), Curve::circle({{0, 0}, 3}),
                            Curve::endless({{0, 0}, {3, 1}})};
    for (const Curve& c : curves) {
        for (int i = 0; i < 30; ++i) {
            const Point p{rnd.next(-8, 8), rnd.next(-8, 8)};
            const Hits f = feet(p, c, kTol);
            ASSERT_GE(f.count, 1u);
            const Point q = f.items[0].p;
            // The tangent at the foot, from the neighbours of its parameter.
            Vec tangent = c.line.along();
            if (c.kind == Curve::Kind::Conic)
                tangent = pointOnEllipse(c.conic, f.items[0].along + 1e-6) - pointOnEllipse(c.conic, f.items[0].along - 1e-6);
            EXPECT_NEAR(dot(p - q, *unit(tangent, 0)), 0, 1e-5 * (1 + distance(p, q)));
            if (c.kind != Curve::Kind::Conic) continue;
            for (int k = 0; k < 360; ++k)
                EXPECT_GE(distance(p, pointOnEllipse(c.conic, kTwoPi * k / 360)), distance(p, q) - 1e-9);
        }
    }
    EXPECT_TRUE(has(feet({0, 5}, Curve::ellipse({{0, 0}, 4, 2, 0}), kTol), {0, 2}));
    EXPECT_EQ(feet({0, 0}, Curve::circle({{0, 0}, 3}), kTol).count, 0u) << "every point is a foot";
}

TEST(Geometry, TangentPointsTouch) {
    const Hits t = tangentPoints({10, 0}, Curve::circle({{0, 0}, 5}), kTol);
    ASSERT_EQ(t.count, 2u);
    EXPECT_TRUE(has(t, {2.5, 5 * std::sqrt(3.0) / 2}));
    EXPECT_TRUE(has(t, {2.5, -5 * std::sqrt(3.0) / 2}));
    const Curve e = Curve::ellipse({{1, 2}, 4, 1.5, 0.7});
    const Point p{7, -3};
    const Hits te = tangentPoints(p, e, kTol);
    ASSERT_EQ(te.count, 2u);
    for (const Hit& h : te) {
        const Vec along = pointOnEllipse(e.conic, h.along + 1e-6) - pointOnEllipse(e.conic, h.along - 1e-6);
        EXPECT_NEAR(cross(*unit(along, 0), *unit(p - h.p, 0)), 0, 1e-6);
    }
    EXPECT_EQ(tangentPoints({1, 2}, e, kTol).count, 0u) << "from inside";
    EXPECT_EQ(tangentPoints({5, 0}, Curve::circle({{0, 0}, 5}), kTol).count, 1u) << "on the curve";
}

TEST(Geometry, PlainFormulas) {
    EXPECT_EQ(centre3({0, 5}, {5, 0}, {-5, 0}, kTol)->x, 0);
    EXPECT_NEAR(centre3({1, 6}, {6, 1}, {-4, 1}, kTol)->y, 1, 1e-12);
    EXPECT_FALSE(centre3({0, 0}, {1, 1}, {2, 2}, kTol)) << "on one line";
    EXPECT_EQ(distance({1, 2}, {4, 6}), distance({4, 6}, {1, 2}));
    EXPECT_EQ(distance({1, 2}, {4, 6}), 5);
    EXPECT_DOUBLE_EQ(*distanceToLine({3, 4}, {{0, 0}, {10, 0}}, kTol), 4);
    EXPECT_DOUBLE_EQ(normalizeTwoPi(-kPi / 2), 3 * kPi / 2);
    EXPECT_DOUBLE_EQ(normalizePi(3 * kPi / 2), -kPi / 2);
    EXPECT_TRUE(insideSweep(0.1, 6.0, 1.0, kTol)) << "a range across zero";
    EXPECT_FALSE(insideSweep(3.0, 6.0, 1.0, kTol));
    EXPECT_DOUBLE_EQ(interiorAngle({0, 0}, {1, 0}, {0, -1}), kPi / 2);
    EXPECT_DOUBLE_EQ(directedAngle({0, 0}, {1, 0}, {0, -1}), 3 * kPi / 2);
    const Point square[] = {{0, 0}, {0, 2}, {2, 2}, {2, 0}};  // clockwise
    EXPECT_TRUE(insideConvex({1, 1}, square, 4, kTol));
    EXPECT_TRUE(insideConvex({2, 1}, square, 4, kTol)) << "on an edge";
    EXPECT_FALSE(insideConvex({3, 1}, square, 4, kTol));
    EXPECT_TRUE(onSegment({5, 0}, {{0, 0}, {10, 0}}, kTol));
    EXPECT_FALSE(onSegment({11, 0}, {{0, 0}, {10, 0}}, kTol));
    const Ellipse e{{0, 0}, 4, 2, 0};
    EXPECT_NEAR(parameterOfPolar(e, polarOfParameter(e, 1.1)), 1.1, 1e-12);
}

TEST(Geometry, TransformationsComposeAndCarryShapes) {
    const Affine maps[] = {Affine::translation({3, -2}), Affine::rotation(0.7), Affine::scaling(2.5),
                           Affine::mirror(0.3), Affine{1, 0.5, 0, 1, 1, 1}};
    const Point p{1.5, -4};
    for (const Affine& m : maps)
        for (const Affine& n : maps) {
            const Point viaBoth = compose(m, n).apply(p), stepwise = n.apply(m.apply(p));
            EXPECT_NEAR(distance(viaBoth, stepwise), 0, 1e-12);
            const Point back = inverse(compose(m, n), kTol)->apply(viaBoth);
            EXPECT_NEAR(distance(back, p), 0, 1e-12);
        }
    EXPECT_FALSE(inverse(Affine::scaling(0), kTol));
    EXPECT_DOUBLE_EQ(Affine::mirror(0.3).determinant(), -1);
    // Shapes: the image of a point of the shape lies on the image shape, and an
    // arc's ends go to the image's ends (a mirror turns the arc round).
    const EllArc arc{{{1, 2}, 3, 1, 0.4}, 0.5, 2.0};
    for (const Affine& m : maps) {
        const std::optional<EllArc> t = transform(m, arc, kTol);
        ASSERT_TRUE(t);
        for (double s : {0.0, 0.7, 1.9, 4.0}) {
            const Point img = m.apply(pointOnEllipse(arc.ellipse, s));
            EXPECT_LT(offCarrier(img, Curve::ellipse(t->ellipse)), 1e-9);
        }
        const Point s0 = m.apply(pointOnEllipse(arc.ellipse, arc.start));
        const Point s1 = m.apply(pointOnEllipse(arc.ellipse, arc.start + arc.sweep));
        const Point t0 = pointOnEllipse(t->ellipse, t->start), t1 = pointOnEllipse(t->ellipse, t->start + t->sweep);
        EXPECT_LT(distance(m.determinant() < 0 ? s1 : s0, t0), 1e-9);
        EXPECT_LT(distance(m.determinant() < 0 ? s0 : s1, t1), 1e-9);
    }
    EXPECT_FALSE(transform(Affine{1, 0.5, 0, 1, 0, 0}, Circle{{0, 0}, 1}, kTol)) << "sheared: no longer round";
    const std::optional<Arc> a = transform(Affine::mirror(0), Arc{{{0, 0}, 1}, 0, kPi / 2}, kTol);
    EXPECT_NEAR(a->start, 3 * kPi / 2, 1e-12) << "the quarter above the x axis mirrors to the one below";
}

}  // namespace
