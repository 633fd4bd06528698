// Dimensions: point lists with a sign-extended count, position placed before
// the values, copy-back only where the request scatters, texts with their
// terminator, and the negated 16-bit answer of the attribute functions.
#include "block_rows.h"
#include "kavlink.h"

using namespace kavtest;
using namespace kavtest::rows;

namespace {

constexpr Back All = Back::All;
constexpr Back None = Back::None;
constexpr Res Host = Res::Host;

const Row kRows[] = {
    {"VokRubberHorizontalDimIF", 2100, "S@0 p@1 r16@2", None, Host, 0, -1, 2},
    {"VokCreateHorizontalDimIF", 2101, "S@0 p@1 r16@2", None, Host, 0, -1, 2},
    {"VokRubberVerticalDimIF", 2102, "S@0 p@1 r16@2", None, Host, 0, -1, 2},
    {"VokCreateVerticalDimIF", 2103, "S@0 p@1 r16@2", None, Host, 0, -1, 2},
    {"VokRubberLinearDimIF", 2104, "S@0 p@1 r16@3 r8@2", None, Host, 0, -1, 2},
    {"VokCreateLinearDimIF", 2105, "S@0 p@1 r16@3 r8@2", None, Host, 0, -1, 2},
    {"VokRubberChamferDim", 2106, "L@0 h@1 r16@2", None},
    {"VokCreateChamferDim", 2107, "L@0 h@1 r16@2", None},
    {"VokRubberDiameterDim", 2108, "L@0 h@1 r16@2 h@3 r8@4"},
    {"VokCreateDiameterDim", 2109, "L@0 h@1 r16@2 h@3 r8@4"},
    {"VokRubberRadiusDim", 2110, "L@0 h@1 r16@2 h@3 r8@4"},
    {"VokCreateRadiusDim", 2111, "L@0 h@1 r16@2 h@3 r8@4"},
    {"VokRubberAngularDim", 2112, "i@0 i@1 h@2 r16@3 h@4 h@5 r8@6"},
    {"VokCreateAngularDim", 2113, "i@0 i@1 h@2 r16@3 h@4 h@5 r8@6"},
    {"VokRubberOffsetDim", 2114, "i@0 i@1 h@2 r16@3"},
    {"VokCreateOffsetDim", 2115, "i@0 i@1 h@2 r16@3"},
    {"VokRubberArcLengDim", 2116, "i@0 h@1 r16@2 r16@3 r16@4 h@5 h@6 r8@7"},
    {"VokCreateArcLengDim", 2117, "i@0 h@1 r16@2 r16@3 r16@4 h@5 h@6 r8@7"},
    {"VokResolveDimGroup", 2119, "L@0", None},
    {"VokSetDimPrefix", 2120, "t@0", None},
    {"VokSetDimSuffix", 2121, "t@0", None},
    {"VokSetDimString", 2122, "t@0", None},
    {"VokSetDimValue", 2123, "d@0", None},
    {"VokSetDimTolerance", 2124, "L@0 t@1 t@2 t@3", None},
    {"VokDimCenterModeOn", 2125, "", None},
    {"VokDimCenterModeOff", 2126, "", None},
    {"VokResetDimModifiers", 2127, "", None},
    {"VokChangeDimText", 2128, "L@0 t@1", None},
    {"VokChangeDimTextSize", 2129, "L@0 d@1", None},
    {"VokChangeDimTextPos", 2130, "L@0 r16@1", None},
    {"VokGetDimAttr", 2131, "r8@0 r8@1 r56@2 r100@3 r168@4", All, Res::Negated16},
    {"VokSetDimAttr", 2132, "r8@0 r8@1 r56@2 r100@3 r168@4", None, Res::Negated16},
    {"VokCreateSlantDimIF", 2133, "S@0 p@1 r16@3 r8@2 r8@4", None, Host, 0, -1, 3},
};

const Row& row(const char* name) {
    for (const Row& r : kRows)
        if (std::string(r.name) == name) return r;
    throw std::runtime_error(name);
}

}  // namespace

using Dimensions = FamilyTest;

TEST_F(Dimensions, EveryExportPlacesItsBlocks) {
    for (const Row& r : kRows) runRow(host, r);
}

TEST_F(Dimensions, NullAddressesAreRefusedBeforeSending) {
    for (const Row& r : kRows) runNullRefusals(host, r);
}

// Counts are signed 16-bit: negative ones, and lists that do not fit beside
// the position and values, are refused.
TEST_F(Dimensions, PointCounts) {
    struct Limit {
        const char* name;
        int32_t largest;
    };
    const Limit limits[] = {
        {"VokCreateHorizontalDimIF", 1022}, {"VokRubberVerticalDimIF", 1022},
        {"VokRubberLinearDimIF", 1022},     {"VokCreateSlantDimIF", 1021},
    };
    for (const Limit& l : limits) {
        Row r = row(l.name);
        for (int32_t count : {0, 1, l.largest}) {
            r.count = count;
            runRow(host, r);
        }
        for (int32_t count : {l.largest + 1, -1, 0x8000, 0xFFFE}) {
            r.count = count;
            expectCountRefused(host, r);
        }
    }
}

TEST_F(Dimensions, SlantPlacesPositionBeforeTheValues) {
    const PointShape points[3] = {{1, 2}, {3, 4}, {5, 6}};
    const PointShape position{7, 8};
    const double value1 = 9.5, value2 = 10.5;
    host.clear();
    host.call("VokCreateSlantDimIF", Slots{3}.ptr(points).ptr(&value1).ptr(&position).ptr(&value2));
    const Recorded& q = host.only();
    EXPECT_EQ(q.lParam, 3u);
    EXPECT_EQ(q.length(), 80u);
    const uint8_t* p = q.payload.data();
    EXPECT_EQ(asDouble(p + 32), 5.0);
    EXPECT_EQ(asDouble(p + 48), 7.0);
    EXPECT_EQ(asDouble(p + 64), 9.5);
    EXPECT_EQ(asDouble(p + 72), 10.5);
}

TEST_F(Dimensions, AngularCopiesBackPositionAndValue) {
    PointShape position{1, 2};
    double value = 3.0;
    host.clear();
    host.reply(Reply{1}.write(10, Bytes{}.f64(11.0).f64(12.0)).write(30, Bytes{}.f64(13.0)));
    host.call("VokRubberAngularDim", Slots{100, 200, 0x10005}.ptr(&position).u32(6).u32(7).ptr(&value));
    const Recorded& q = host.only();
    EXPECT_TRUE(q.equals(Bytes{}.u32(100).u32(200).u16(5).f64(1).f64(2).u16(6).u16(7).f64(3.0)));
    EXPECT_EQ(position.x, 11.0);
    EXPECT_EQ(position.y, 12.0);
    EXPECT_EQ(value, 13.0);
}

TEST_F(Dimensions, AttributeAnswersAreNegatedLow16) {
    ElementAttr a1{}, a2{};
    StringAttr s{};
    DimAttrBlock4 b4{};
    DimAttrBlock5 b5{};
    const Slots slots = Slots{}.ptr(&a1).ptr(&a2).ptr(&s).ptr(&b4).ptr(&b5);
    const std::pair<uint32_t, int32_t> answers[] = {{1, -1}, {0, 0}, {0x10001, -1}, {0xFFFF, -65535}};
    for (const char* name : {"VokGetDimAttr", "VokSetDimAttr"}) {
        for (auto [answer, want] : answers) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(answer));
            host.clear();
            host.reply(answer);
            EXPECT_EQ(host.call(name, slots).i32(), want);
        }
    }
}

TEST_F(Dimensions, EmptyTextsSendTheirTerminator) {
    host.clear();
    host.call("VokSetDimPrefix", Slots{}.ptr(""));
    EXPECT_TRUE(host.only().equals(Bytes{0}));
    host.clear();
    host.call("VokSetDimTolerance", Slots{2}.ptr("a").ptr("").ptr("bc"));
    EXPECT_EQ(host.only().lParam, 2u);
    EXPECT_TRUE(host.only().equals(Bytes{'a', 0, 0, 'b', 'c', 0}));
}
