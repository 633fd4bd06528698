// B-spline calculation: the four curve blocks always whole, the unsigned
// point count as its own 2-byte block in front of the points, output tables
// moved whole through the array's data, and the size limits of the requests.
#include "rows.h"

#include <stdexcept>

using namespace kavtest;

#define KAV_CURVE "ref:28 ref:880 ref:1760 ref:880"

namespace {

constexpr Back All = Back::All;
constexpr Res Host = Res::Host;

const Blocks kRows[] = {
    Blocks{"VokCalFitBSplineCurveIF", 2063, "n@1 P@0 h@2 r16@3 h@4 r16@5 B@6", All, Host, 0, -1, 3},
    Blocks{"VokCalFitBSplineCurveClosedIF", 2064, "n@1 P@0 B@2", All, Host, 0, -1, 3},
    Blocks{"VokCalFitBSplineCurve2IF", 2065, "h@0 n@2 P@1 B@3", All, Host, 0, -1, 3},
    Blocks{"VokCalFitBSplineCurveClosed2IF", 2066, "h@0 n@2 P@1 B@3", All, Host, 0, -1, 3},
    Blocks{"VokCalSmoothBSplineCurveIF", 2067, "h@0 h@1 n@3 P@2 B@4", All, Host, 0, -1, 3},
    Blocks{"VokCalSmoothBSplineCurveClosedIF", 2068, "h@0 h@1 n@3 P@2 B@4", All, Host, 0, -1, 3},
    Blocks{"VokCalTransBSplineIF", 2069, "B@0 r52@4 B@5"},
    Blocks{"VokCalIntOfLineBSplineIF", 2070, "r32@0 B@1 a1600@5"},
    Blocks{"VokCalIntOfCircleBSplineIF", 2071, "r24@0 B@1 a1600@5"},
    Blocks{"VokCalIntOfArcBSplineIF", 2072, "r44@0 B@1 a1600@5"},
    Blocks{"VokCalIntOfElliBSplineIF", 2073, "r40@0 B@1 a1600@5"},
    Blocks{"VokCalIntOfEllArcBSplineIF", 2074, "r60@0 B@1 a1600@5"},
    Blocks{"VokCalIntOfBSplineBSplineIF", 2075, "B@0 B@4 a1600@8"},
    Blocks{"VokCalPerpToBSplineIF", 2076, "r16@0 B@1 a1600@5"},
    Blocks{"VokCalClosestOnBSplineIF", 2077, "r16@0 B@1 r16@5"},
    Blocks{"VokCalNumPntsOnBSplineIF", 2078, "B@0 h@4 a1600@5"},
    Blocks{"VokCalNumArcsOnBSplineIF", 2079, "B@0 h@4 a4400@5"},
    Blocks{"VokCalNumOfSegmentsOnBSplineIF", 2080, "B@0", Back::None},
};

const Blocks& row(const char* name) {
    for (const Blocks& r : kRows)
        if (std::string(r.name) == name) return r;
    throw std::runtime_error(name);
}

}  // namespace

using BSpline = FamilyTest;

TEST_F(BSpline, EveryExportPlacesAndReturnsItsBlocks) {
    for (const Blocks& r : kRows) runBlocks(host, r);
}

TEST_F(BSpline, NullAddressesAreRefusedBeforeSending) {
    for (const Blocks& r : kRows) runNullRefusals(host, r);
}

TEST_F(BSpline, RequestSizes) {
    struct Size {
        const char* name;
        int32_t count;
        size_t bytes;
    };
    const Size sizes[] = {
        {"VokCalFitBSplineCurveIF", 3, 3634},
        {"VokCalFitBSplineCurve2IF", 0, 3552},
        {"VokCalTransBSplineIF", 0, 7148},
        {"VokCalNumArcsOnBSplineIF", 0, 7950},
        {"VokCalIntOfBSplineBSplineIF", 0, 8696},
        {"VokCalNumOfSegmentsOnBSplineIF", 0, 3548},
    };
    for (const Size& s : sizes) {
        SCOPED_TRACE(s.name);
        Blocks r = row(s.name);
        r.count = s.count;
        EXPECT_EQ(blocksCase(r).payload.size(), s.bytes);
        runBlocks(host, r);
        EXPECT_EQ(host.requests().at(0).length(), s.bytes);
    }
}

// The open fit with 3 points: count at 0, points at 2, option1 at 50, vec1
// at 52, option2 at 68, vec2 at 70, the curve from 86.
TEST_F(BSpline, FitOffsetsBehindTheCount) {
    const IoCase fit = blocksCase(row("VokCalFitBSplineCurveIF"));
    RowMemory memory(fit.mem);
    host.clear();
    host.call("VokCalFitBSplineCurveIF", memory.slots(fit.args));
    const uint8_t* p = host.only().payload.data();
    const Bytes& want = fit.payload;
    EXPECT_EQ(p[0], 3);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(std::memcmp(p + 2, want.b.data() + 2, 48), 0);
    EXPECT_EQ(p[50] | p[51] << 8, 0x0102);
    EXPECT_EQ(p[68] | p[69] << 8, 0x0104);
    EXPECT_EQ(std::memcmp(p + 86, want.b.data() + 86, 3548), 0);
}

TEST_F(BSpline, PointCountsThatDoNotFitAreRefused) {
    struct Limit {
        const char* name;
        int32_t largest;
    };
    const Limit limits[] = {
        {"VokCalFitBSplineCurveIF", 799},         {"VokCalFitBSplineCurveClosedIF", 801},
        {"VokCalFitBSplineCurve2IF", 801},        {"VokCalFitBSplineCurveClosed2IF", 801},
        {"VokCalSmoothBSplineCurveIF", 801},      {"VokCalSmoothBSplineCurveClosedIF", 801},
    };
    for (const Limit& l : limits) {
        Blocks r = row(l.name);
        r.count = l.largest;
        runBlocks(host, r);
        for (int32_t count : {l.largest + 1, -1, 0x8000}) {  // unsigned: -1 is 65535 points
            r.count = count;
            expectCountRefused(host, r);
        }
    }
}
