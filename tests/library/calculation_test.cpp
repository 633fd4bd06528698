// Geometry calculation: block placement and copy-back of every export, double
// results through the result place with their presets, element indices in the
// payload or as lParam, the unsigned point count of the convex test and the
// counted text copy.
#include "rows.h"
#include "kavlink.h"

#include <ole2.h>
#include <string>

using namespace kavtest;

namespace {

constexpr Back All = Back::All;
constexpr Res Host = Res::Host;
constexpr Res Dbl = Res::Double;

// Every export but the counted text, in code order.  Payload order is
// argument order here; element indices go as lParam (L) or as 4-byte blocks.
const Blocks kRows[] = {
    Blocks{"VokCalGetEpsLen", 2000, "R", All, Dbl, 1e-10},
    Blocks{"VokCalGetEpsAng", 2001, "R", All, Dbl, 1e-05},
    Blocks{"VokCalSetEpsLen", 2002, "d@0"},
    Blocks{"VokCalSetEpsAng", 2003, "d@0"},
    Blocks{"VokCalResetEps", 2004, ""},
    Blocks{"VokCalEquP", 2005, "r16@0 r16@1"},
    Blocks{"VokCalEquLen", 2006, "d@0 d@1"},
    Blocks{"VokCalCompRad", 2007, "d@0 d@1"},
    Blocks{"VokCalInsideRad", 2008, "d@0 d@1 d@2"},
    Blocks{"VokCalInsideRect", 2009, "r16@0 r32@1"},
    Blocks{"VokCalInsideConvex", 2010, "r16@0 Z@1 P@2", All, Host, 0.0, -1, 3},
    Blocks{"VokCalRadToDeg", 2011, "d@0 R", All, Dbl, 0.0},
    Blocks{"VokCalDegToRad", 2012, "d@0 R", All, Dbl, 0.0},
    Blocks{"VokCalNormRad", 2013, "d@0 R", All, Dbl, 0.0, 0},
    Blocks{"VokCalAngle3P", 2014, "r16@0 r16@1 r16@2 R", All, Dbl, 0.0},
    Blocks{"VokCalIntersection", 2015, "i@0 i@1 r18@2 r18@3 r18@4 r18@5"},
    Blocks{"VokCalPerpend", 2016, "r16@0 L@1 r18@2"},
    Blocks{"VokCalTangent", 2017, "r16@0 L@1 r18@2 r18@3"},
    Blocks{"VokCalCenter3P", 2018, "r16@0 r16@1 r16@2 r16@3"},
    Blocks{"VokCalMidP", 2019, "r16@0 r16@1 r16@2"},
    Blocks{"VokCalAngularPointOnCircle", 2020, "r24@0 d@1 r16@2"},
    Blocks{"VokCalAngularPointOnEllipse", 2021, "r40@0 d@1 r16@2"},
    Blocks{"VokCalDist2P", 2022, "r16@0 r16@1 R", All, Dbl, 0.0},
    Blocks{"VokCalDistToLine", 2023, "r16@0 r16@1 r16@2 R", All, Dbl, 0.0},
    Blocks{"VokCalVecOf2P", 2024, "r16@0 r16@1 r16@2"},
    Blocks{"VokCalAddVecToPoint", 2025, "r16@0 r16@1 r16@2"},
    Blocks{"VokCalAddVec", 2026, "r16@0 r16@1 r16@2"},
    Blocks{"VokCalSubVec", 2027, "r16@0 r16@1 r16@2"},
    Blocks{"VokCalMultiVec", 2028, "r16@0 d@1 r16@2"},
    Blocks{"VokCalUnifyVec", 2029, "r16@0 r16@1"},
    Blocks{"VokCalVecLen", 2030, "r16@0 R", All, Dbl, 0.0},
    Blocks{"VokCalVecAng", 2031, "r16@0 R", All, Dbl, 0.0},
    Blocks{"VokCalPerpVec", 2032, "r16@0 r16@1"},
    Blocks{"VokCalInProduct", 2033, "r16@0 r16@1 R", All, Dbl, 0.0},
    Blocks{"VokCalOutProduct", 2034, "r16@0 r16@1 R", All, Dbl, 0.0},
    Blocks{"VokCalMatrixDeterminant", 2035, "r52@0 R", All, Dbl, 0.0},
    Blocks{"VokCalMatrixMove", 2036, "r16@0 r52@1"},
    Blocks{"VokCalMatrixRotate", 2037, "d@0 r52@1"},
    Blocks{"VokCalMatrixScale", 2038, "d@0 r52@1"},
    Blocks{"VokCalMatrixMirror", 2039, "d@0 r52@1"},
    Blocks{"VokCalMultiMatrix", 2040, "r52@0 r52@1 r52@2"},
    Blocks{"VokCalInvMatrix", 2041, "r52@0 r52@1"},
    Blocks{"VokCalTransCoord", 2042, "r16@0 r52@1 r16@2"},
    Blocks{"VokCalTransAngle", 2043, "d@0 r52@1 R", All, Dbl, 0.0, 0},
    Blocks{"VokCalTransPoint", 2044, "r16@0 r52@1 r16@2"},
    Blocks{"VokCalTransLine", 2045, "r32@0 r52@1 r32@2"},
    Blocks{"VokCalTransCircle", 2046, "r24@0 r52@1 r24@2"},
    Blocks{"VokCalTransArc", 2047, "r44@0 r52@1 r44@2"},
    Blocks{"VokCalTransEllipse", 2048, "r40@0 r52@1 r40@2"},
    Blocks{"VokCalTransEllArc", 2049, "r60@0 r52@1 r60@2"},
    Blocks{"VokCalTransString", 2050, "r20@0 r56@1 r52@2 r20@3 r56@4"},
    Blocks{"VokCalAngle2P", 2052, "r16@0 r16@1 R", All, Dbl, 0.0},
    Blocks{"VokCalInsideLine", 2053, "r32@0 r16@1"},
    Blocks{"VokCalInsideArc", 2054, "r44@0 r16@1"},
    Blocks{"VokCalInsideEllArc", 2055, "r60@0 r16@1"},
    Blocks{"VokCalIntOfALineALine", 2056, "r16@0 d@1 r16@2 d@3 r16@4"},
    Blocks{"VokCalIntOfLineLine", 2057, "r16@0 r16@1 r16@2 r16@3 r16@4"},
    Blocks{"VokCalIntOfLineCircle", 2058, "r16@0 r16@1 r16@2 d@3 r16@4 r16@5"},
    Blocks{"VokCalIntOfCircleCircle", 2059, "r16@0 d@1 r16@2 d@3 r16@4 r16@5"},
    Blocks{"VokCalIntOfLineElli", 2060, "r16@0 r16@1 r16@2 d@3 d@4 d@5 r16@6 r16@7"},
    Blocks{"VokCalIntOfCircleElli", 2061, "r16@0 d@1 r16@2 d@3 d@4 d@5 r16@6 r16@7 r16@8 r16@9"},
    Blocks{"VokCalIntOfElliElli", 2062, "r16@0 d@1 d@2 d@3 r16@4 d@5 d@6 d@7 r16@8 r16@9 r16@10 r16@11"},
};

Slots ptrs(std::initializer_list<const void*> ps) {
    Slots s;
    for (const void* p : ps) s.ptr(p);
    return s;
}

}  // namespace

using Calculation = FamilyTest;

TEST_F(Calculation, EveryExportPlacesAndReturnsItsBlocks) {
    for (const Blocks& row : kRows) runBlocks(host, row);
}

TEST_F(Calculation, NullAddressesAreRefusedBeforeSending) {
    for (const Blocks& row : kRows) runNullRefusals(host, row);
}

TEST_F(Calculation, ConvexCountIsUnsignedAndMustFit) {
    const Blocks& convex = kRows[10];
    ASSERT_STREQ(convex.name, "VokCalInsideConvex");
    Blocks r = convex;
    for (int32_t count : {0, 1, 1022}) {
        r.count = count;
        EXPECT_EQ(blocksCase(r).payload.size(), 16u + 16u * count);
        runBlocks(host, r);
    }
    // 1023 points overflow the payload area; -1 is 65535 points.
    for (int32_t count : {1023, -1, 0x8000}) {
        r.count = count;
        expectCountRefused(host, r);
    }
}

TEST_F(Calculation, CircleEllipseIntersectionOffsets) {
    PointShape centerA{1, 2}, centerB{3, 4}, out[4]{};
    host.clear();
    Reply reply{2};
    for (int i = 0; i < 4; ++i) reply.write(64 + 16 * i, Bytes{}.f64(10.0 + i).f64(20.0 + i));
    host.reply(reply);
    const CallResult r = host.call("VokCalIntOfCircleElli", Slots{}
                                                               .ptr(&centerA)
                                                               .f64(5.0)
                                                               .ptr(&centerB)
                                                               .f64(6.0)
                                                               .f64(7.0)
                                                               .f64(0.5)
                                                               .ptr(&out[0])
                                                               .ptr(&out[1])
                                                               .ptr(&out[2])
                                                               .ptr(&out[3]));
    EXPECT_EQ(r.eax, 2u);
    const Recorded& q = host.only();
    EXPECT_EQ(q.length(), 128u);
    const uint8_t* p = q.payload.data();
    EXPECT_EQ(asDouble(p + 16), 5.0);
    EXPECT_EQ(asDouble(p + 24), 3.0);
    EXPECT_EQ(asDouble(p + 40), 6.0);
    EXPECT_EQ(asDouble(p + 48), 7.0);
    EXPECT_EQ(asDouble(p + 56), 0.5);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i].x, 10.0 + i);
        EXPECT_EQ(out[i].y, 20.0 + i);
    }
}

TEST_F(Calculation, IntersectionCarriesElementsInPayload) {
    ResultPoint results[4]{};
    host.clear();
    host.reply(Reply{1}.write(26, Bytes{}.fill(0x42, 18)));
    host.call("VokCalIntersection", Slots{7, 9}.ptr(&results[0]).ptr(&results[1]).ptr(&results[2]).ptr(&results[3]));
    const Recorded& q = host.only();
    EXPECT_EQ(q.lParam, 0u);
    EXPECT_TRUE(q.startsWith(Bytes{}.u32(7).u32(9)));
    EXPECT_EQ(q.length(), 80u);
    for (uint8_t b : results[1].bytes) EXPECT_EQ(b, 0x42);
    for (uint8_t b : results[0].bytes) EXPECT_EQ(b, 0);
}

TEST(CalculationUnbound, PresetsWithoutAHost) {
    RecordingHost host;
    host.unbind();
    PointShape a{1, 1}, b{4, 5};
    EXPECT_EQ(host.call("VokCalGetEpsLen", {}, true).st0, 1e-10);
    EXPECT_EQ(host.call("VokCalGetEpsAng", {}, true).st0, 1e-05);
    EXPECT_EQ(host.call("VokCalNormRad", Slots{}.f64(7.0), true).st0, 7.0);
    EXPECT_EQ(host.call("VokCalDist2P", ptrs({&a, &b}), true).st0, 0.0);
    EXPECT_EQ(host.call("VokCalAngle2P", ptrs({&a, &b}), true).st0, 0.0);
    EXPECT_TRUE(host.requests().empty());
}

// The counted text: the string's bytes up to the first zero, at most 256 of
// them, sent from a copy with a terminator.
TEST_F(Calculation, NumOfCharSendsAtMost256BytesAndATerminator) {
    struct Case {
        std::string text;
        std::string sent;
    };
    const std::string longText = std::string(100, 'x') + std::string(200, 'y');
    const Case cases[] = {
        {"0123456789", "0123456789"},
        {"", ""},
        {std::string("abc\0def", 7), "abc"},
        {std::string(255, 'q'), std::string(255, 'q')},
        {std::string(256, 'r'), std::string(256, 'r')},
        {longText, longText.substr(0, 256)},
        // the 256th byte would be the first half of 能 (94 5C in code page 932)
        {std::string(255, 'k') + "\x94\x5C", std::string(255, 'k')},
        {std::string(254, 'k') + "\x94\x5C" + "z", std::string(254, 'k') + "\x94\x5C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        CallerMemory memory;
        BSTR* s = memory.stringVariable(c.text);
        const BSTR before = *s;
        host.clear();
        host.reply(Reply{static_cast<uint32_t>(c.sent.size())}.write(0, Bytes{}.fill(0x33, 300)));
        const CallResult r = host.call("VokCalNumOfChar", Slots{}.ptr(s));
        EXPECT_EQ(r.eax, c.sent.size());
        const Recorded& q = host.only();
        EXPECT_EQ(q.code, 2051u);
        EXPECT_EQ(q.lParam, 0u);
        EXPECT_TRUE(q.equals(Bytes{}.str(c.sent))) << "sent " << q.length() << " bytes";
        EXPECT_EQ(*s, before);
        EXPECT_EQ(bytesOf(*s), c.text);
    }
}

TEST_F(Calculation, NumOfCharRefusesAMissingString) {
    BSTR none = nullptr;
    expectRefused(host, "VokCalNumOfChar", Slots{0});
    expectRefused(host, "VokCalNumOfChar", Slots{}.ptr(&none));
}
