// Command feedback and host tables: texts with their terminator, the copy
// records in argument order, signed coordinates, and the table requests
// whose keys travel by value (bytes as their low 8 bits) while flags, counts
// and results come back from their own offsets.
#include "export_table.h"
#include "io_case.h"

#include <cstdlib>
#include <limits>
#include <string>

using namespace kavtest;

using Feedback = FamilyTest;

TEST_F(Feedback, EveryRequest) {
    const Bytes guide = Bytes{}.str("Pick the first point");
    const Bytes japanese = Bytes{0x8C, 0x78, 0x8D, 0x90, 0};  // a two-character ANSI (code page 932) text
    const Bytes copyParam = pattern(76, 0x10), copyOption = pattern(14, 0xE0);
    const Bytes flag = Bytes{0x33}, count = Bytes{}.u16(0x2211);
    const Bytes pitches = pattern(96, 0x90), name257 = pattern(257, 0x20);
    const IoCase cases[] = {
        {"VokCommandGuide", {buf(0)}, {{guide}}, 1500, 0, guide},
        {"VokCommandGuide", {buf(0)}, {{Bytes{0}}}, 1500, 0, Bytes{0}},  // an empty text is its terminator
        {"VokCommandMode", {buf(0)}, {{japanese}}, 1501, 0, japanese},
        {"VokWarnBeep", {}, {}, 1502, 0, {}},
        {"VokErrorBeep", {}, {}, 1503, 0, {}},
        {"VokWarnMessage", {buf(0)}, {{guide}}, 1504, 0, guide},
        {"VokErrorMessage", {buf(0)}, {{japanese}}, 1505, 0, japanese},
        {"VokConfirmYesNo", {}, {}, 1506, 0, {}},
        {"VokEraseAllDigmark", {}, {}, 1507, 0, {}},
        {"VokGetCommandID", {}, {}, 1514, 0, {}},
        {"VokCopyElement", {buf(0), buf(1)}, {{copyParam}, {copyOption}}, 1515, 0, cat({copyParam, copyOption})},
        {"VokCommitDBAccess", {}, {}, 1525, 0, {}},
        {"VokSelectCoordinates", {slot(0xFFFFFFFF)}, {}, 1532, 0xFFFFFFFF, {}},
        {"VokSelectCoordinates", {slot(0x18000)}, {}, 1532, 0xFFFF8000, {}},
        {"VokSelectCoordinates", {slot(0xFFFF0007)}, {}, 1532, 7, {}},
        {"VokShowHelp", {}, {}, 1538, 0, {}},
        // key1 at 0, key2 at 2, rgb at 4, flag at 8.
        {"VokGetRGBColor", {slot(0x80000002), slot(0x10001), slot(0xFFFF), buf(0), buf(1)},
         {{Bytes{}.u32(0x00C0FFEE), scribbled(4, 4)}, {flag, scribbled(8, 1)}}, 1539, 0x80000002,
         Bytes{}.u16(1).u16(0xFFFF).u32(0x00C0FFEE).u8(0x33)},
        {"VokCountRGBColor", {slot(3), buf(0)}, {{count, scribbled(0, 2)}}, 1540, 3, count},
        // lineType at 0 (the low byte of 0x101), flag at 1, pitchCount at 2, pitches at 4.
        {"VokGetLineTypePitch", {slot(4), slot(0x101), buf(0), buf(1), arr(2)},
         {{flag, scribbled(1, 1)}, {count, scribbled(2, 2)}, {pitches, scribbled(4, 96)}}, 1541, 4,
         cat({Bytes{1, 0x33}, count, pitches})},
        // lineType at 0, flag at 1, the name at 2.
        {"VokGetLineTypeName", {slot(5), slot(0x1FF), buf(0), buf(1)},
         {{flag, scribbled(1, 1)}, {name257, scribbled(2, 257)}}, 1542, 5, cat({Bytes{0xFF, 0x33}, name257})},
        {"VokCountLineType", {slot(6), buf(0)}, {{count, scribbled(0, 2)}}, 1543, 6, count},
        // lineWidth at 0, flag at 1, width at 2, widthValue at 10.
        {"VokGetLineWidth", {slot(7), slot(0x102), buf(0), buf(1), buf(2)},
         {{flag, scribbled(1, 1)}, {Bytes{}.f64(0.25), scribbled(2, 8)}, {Bytes{}.u32(9), scribbled(10, 4)}}, 1544, 7,
         Bytes{}.u8(2).u8(0x33).f64(0.25).u32(9)},
        {"VokCountLineWidth", {slot(8), buf(0)}, {{count, scribbled(0, 2)}}, 1545, 8, count},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Feedback, MissingMemoryIsRefused) {
    const Mem flag{Bytes{0x33}}, count{Bytes{}.u16(0x2211)}, word{Bytes{}.u32(0x01020304)};
    const Mem width{Bytes{}.f64(0.5)}, copyParam{pattern(76, 0x10)};
    const IoCase cases[] = {
        refusal("VokCommandGuide", {nul()}),
        refusal("VokCommandMode", {nul()}),
        refusal("VokWarnMessage", {nul()}),
        refusal("VokErrorMessage", {nul()}),
        refusal("VokCopyElement", {buf(0), nul()}, {copyParam}),
        refusal("VokCopyElement", {nul(), buf(0)}, {copyParam}),
        refusal("VokGetRGBColor", {slot(1), slot(1), slot(1), buf(0), nul()}, {word}),
        refusal("VokGetRGBColor", {slot(1), slot(1), slot(1), nul(), buf(0)}, {flag}),
        refusal("VokCountRGBColor", {slot(1), nul()}),
        refusal("VokGetLineTypePitch", {slot(1), slot(1), buf(0), buf(1), nul()}, {flag, count}),
        // The name buffer is checked first of all: flag stays as it was.
        refusal("VokGetLineTypeName", {slot(1), slot(1), buf(0), nul()}, {flag}),
        refusal("VokGetLineTypeName", {slot(1), slot(1), nul(), nul()}),
        refusal("VokCountLineType", {slot(1), nul()}),
        refusal("VokGetLineWidth", {slot(1), slot(1), buf(0), nul(), buf(1)}, {flag, word}),
        refusal("VokGetLineWidth", {slot(1), slot(1), buf(0), buf(1), nul()}, {flag, width}),
        refusal("VokCountLineWidth", {slot(1), nul()}),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// ---- the local date conversions ---------------------------------------------
// They follow the machine's time zone.  Each test is written for one zone and
// runs where TZ names it: the whole program runs with TZ=UTC, and CTest runs
// the zone tests again with TZ=JST-9 (nine hours ahead of UTC) and
// TZ=PST8PDT (with daylight saving).

namespace {

bool zoneIs(const char* tz) {
    const char* z = std::getenv("TZ");
    return z != nullptr && std::string(z) == tz;
}
#define REQUIRE_ZONE(tz) \
    if (!zoneIs(tz)) GTEST_SKIP() << "written for TZ=" tz

double longToDate(int64_t seconds) { return lib().call("VokLongToDate", Slots{}.i64(seconds), true).st0; }
CallResult dateToLongCall(double date) { return lib().call("VokDateToLong", Slots{}.f64(date)); }
int64_t dateToLong(double date) { return dateToLongCall(date).i64(); }

constexpr double kSecond = 1.0 / 86400;
constexpr double kEpochDate = 25569.0;                 // 1970-01-01
constexpr int64_t kLastSecond = 32535244799LL;         // 3001-01-01 07:59:59 UTC

}  // namespace

TEST(LocalDate, SendNothing) {
    RecordingHost host;
    host.bind();
    host.prefill();
    longToDate(0);
    dateToLong(kEpochDate);
    EXPECT_TRUE(host.requests().empty());
}

TEST(LocalDate, UtcSecondsToDate) {
    REQUIRE_ZONE("UTC");
    EXPECT_EQ(longToDate(0), kEpochDate);
    EXPECT_NEAR(longToDate(1720000000), kEpochDate + 1720000000.0 / 86400, kSecond / 2);
    EXPECT_NEAR(longToDate(kLastSecond), kEpochDate + kLastSecond / 86400.0, kSecond / 2);
    // Outside the runtime's local time: 0.0.
    EXPECT_EQ(longToDate(-1), 0.0);
    EXPECT_EQ(longToDate(INT64_MIN), 0.0);
    EXPECT_EQ(longToDate(kLastSecond + 1), 0.0);
    EXPECT_EQ(longToDate(INT64_MAX), 0.0);
}

TEST(LocalDate, UtcDateToSeconds) {
    REQUIRE_ZONE("UTC");
    EXPECT_EQ(dateToLong(kEpochDate), 0);
    EXPECT_EQ(dateToLong(45000.5), 1678881600);  // 2023-03-15 12:00
    // The 64-bit result comes in the register pair.
    const CallResult late = dateToLongCall(402133.0);  // 3001-01-01 00:00
    EXPECT_EQ(late.i64(), 32535129600LL);
    EXPECT_EQ(late.edx, 7u);
    // Before 1970, past the runtime's limit, outside the OLE date range: -1.
    EXPECT_EQ(dateToLong(1.0), -1);
    EXPECT_EQ(dateToLong(kEpochDate - kSecond), -1);
    EXPECT_EQ(dateToLong(402134.5), -1);   // 3001-01-02 12:00
    EXPECT_EQ(dateToLong(2958465.0), -1);  // 9999-12-31
    EXPECT_EQ(dateToLong(1e10), -1);
    EXPECT_EQ(dateToLong(-1e10), -1);
    EXPECT_EQ(dateToLong(std::numeric_limits<double>::quiet_NaN()), -1);
    EXPECT_EQ(longToDate(dateToLong(45484.5)), 45484.5);
}

TEST(LocalDate, NineHoursAhead) {
    REQUIRE_ZONE("JST-9");
    EXPECT_EQ(longToDate(0), 25569.375);
    EXPECT_EQ(dateToLong(25569.375), 0);
    EXPECT_EQ(dateToLong(kEpochDate), -1);  // 1969-12-31 15:00 UTC
    EXPECT_EQ(dateToLong(45000.5), 1678881600 - 9 * 3600);
}

// A date inside the daylight-saving period is read as standard time, so the
// way back comes out one hour later; a winter date goes both ways unchanged.
TEST(LocalDate, DaylightSaving) {
    REQUIRE_ZONE("PST8PDT");
    const double summer = 45484.5;  // 2024-07-11 12:00
    EXPECT_EQ(dateToLong(summer), 1720728000);  // 20:00 UTC: 12:00 read as UTC-8
    EXPECT_NEAR(longToDate(dateToLong(summer)), summer + 1.0 / 24, kSecond / 2);
    const double winter = 45300.25;  // 2024-01-09 06:00
    EXPECT_EQ(longToDate(dateToLong(winter)), winter);
    EXPECT_NEAR(longToDate(0), kEpochDate - 8.0 / 24, kSecond / 2);
}
