// Element and database properties: value-before-name against name-before-
// value, the getters that write whatever the answer, the readers that take a
// property record on a nonzero answer and follow its data address, and the
// database functions' own copies with their length limits.
#include "io_case.h"
#include "export_table.h"
#include "kavlink.h"

#include <algorithm>

using namespace kavtest;

namespace {

// Property data in this process, where a host's record may point.
const char kData[] = "payload-data";

Bytes record(int32_t tag, const std::string& name, int32_t size, const void* data) {
    PropertyRecord r{};
    r.tag = tag;
    std::memcpy(r.name, name.data(), std::min(name.size(), sizeof r.name));
    r.size = size;
    r.data = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data));
    return Bytes{}.rec(r);
}

const std::string k33(33, 'n'), k34(34, 'n'), k255(255, 'v'), k256(256, 'v');

}  // namespace

using Properties = FamilyTest;

TEST_F(Properties, TypedRequests) {
    const IoCase cases[] = {
        // value before name, name before value
        {"VokAppendPropertyOfLong", {slot(42), txt("AB"), slot(7)}, {}, 1516, 42,
         Bytes{7, 0, 0, 0, 'A', 'B', 0}, Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendPropertyOfDouble", {slot(42), txt("AB"), dbl(2.5)}, {}, 1517, 42,
         Bytes{}.f64(2.5).str("AB"), Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendPropertyOfString", {slot(42), txt("AB"), txt("C")}, {}, 1518, 42,
         Bytes{'A', 'B', 0, 'C', 0}, Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendPropertyOfString", {slot(0xFFFFFFFF), txt(""), txt("")}, {}, 1518, 0xFFFFFFFF,
         Bytes{0, 0}, Reply{kAnswer}, answer(kAnswer)},
        {"VokDeletePropertyOfLong", {slot(42), txt("AB")}, {}, 1522, 42, Bytes{}.str("AB"), Reply{kAnswer}, answer(kAnswer)},
        {"VokDeletePropertyOfDouble", {slot(42), txt("AB")}, {}, 1523, 42, Bytes{}.str("AB"), Reply{kAnswer}, answer(kAnswer)},
        {"VokDeletePropertyOfString", {slot(42), txt("AB")}, {}, 1524, 42, Bytes{}.str("AB"), Reply{kAnswer}, answer(kAnswer)},

        // getters: the payload start comes back whatever the answer
        {"VokGetPropertyOfLong", {slot(42), txt("NM"), buf(Bytes{}.u32(0x11111111), Bytes{}.u32(0x0A0B0C0D))}, {}, 1519, 42,
         Bytes{}.str("NM"), Reply{kAnswer}.write(0, Bytes{}.u32(0x0A0B0C0D)), low16(3)},
        {"VokGetPropertyOfLong", {slot(42), txt("NM"), buf(Bytes{}.u32(0x11111111), Bytes{'N', 'M', 0, kSentinel})}, {}, 1519, 42,
         Bytes{}.str("NM"), Reply{0}, low16(0)},
        {"VokGetPropertyOfDouble", {slot(42), txt("NM"), buf(Bytes{}.f64(1.0), Bytes{}.f64(-7.25))}, {}, 1520, 42,
         Bytes{}.str("NM"), Reply{0x10000}.write(0, Bytes{}.f64(-7.25)), low16(0)},
        {"VokGetPropertyOfString", {slot(42), txt("NM"), strvar("old", "VALUE")}, {}, 1521, 42,
         Bytes{}.str("NM"), Reply{0xFFFF}.write(0, Bytes{}.str("VALUE")), low16(-1)},
        // a host that writes nothing leaves the name itself
        {"VokGetPropertyOfString", {slot(42), txt("NM"), strvar("old", "NM")}, {}, 1521, 42,
         Bytes{}.str("NM"), Reply{0}, low16(0)},
        // no zero byte within the 256-byte area: 256 bytes of text
        {"VokGetPropertyOfString", {slot(42), txt("NM"), strvar("old", std::string(256, 'x'))}, {}, 1521, 42,
         Bytes{}.str("NM"), Reply{1}.write(0, Bytes{}.fill('x', 300)), low16(1)},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Properties, TaggedRequests) {
    const IoCase cases[] = {
        // size + 1 data bytes travel
        {"VokAppendProperty", {slot(9), slot(0x44), txt("AB"), slot(3), buf(Bytes{'X', 'Y', 'Z', 0})}, {}, 1526, 9,
         Bytes{}.u32(0x44).str("AB").u32(3).str("XYZ"), Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendProperty", {slot(9), slot(0x44), txt("AB"), slot(0), buf(Bytes{0x5E, 0x5F})}, {}, 1526, 9,
         Bytes{}.u32(0x44).str("AB").u32(0).u8(0x5E), Reply{kAnswer}, answer(kAnswer)},
        // name and value both come back
        {"VokMarkProperty", {slot(9), slot(0x44), buf(Bytes{}.str("AB"), Bytes{}.str("ab")), buf(Bytes{}.u32(5), Bytes{}.u32(6))}, {},
         1527, 9, Bytes{}.u32(0x44).str("AB").u32(5),
         Reply{kAnswer}.write(0, Bytes{}.u32(0x99)).write(4, Bytes{'a', 'b'}).write(7, Bytes{}.u32(6)), answer(kAnswer)},
        {"VokDeleteProperty", {slot(9), slot(0x44), txt("AB")}, {}, 1530, 9, Bytes{}.u32(0x44).str("AB"), Reply{kAnswer}, answer(kAnswer)},

        {"VokReadPropertyIndex",
         {slot(9), slot(2), buf(Bytes{}.u32(0xEEEEEEEE), Bytes{}.u32(0x12345678)), buf(Bytes{}.u32(0xEEEEEEEE), Bytes{}.u32(5)),
          strvar("old", "Width")}, {},
         1528, 9, Bytes{}.u32(2), Reply{1}.write(0, record(0x12345678, "Width", 4, nullptr)), low16(1)},
        // low half 0: nothing changes
        {"VokReadPropertyIndex",
         {slot(9), slot(2), buf(Bytes{}.u32(0xEEEEEEEE)), buf(Bytes{}.u32(0xEEEEEEEE)), strvar("old")}, {},
         1528, 9, Bytes{}.u32(2), Reply{0x10000}.write(0, record(1, "Width", 4, nullptr)), low16(0)},
        // a name field with no zero byte gives its 34 bytes
        {"VokReadPropertyIndex",
         {slot(9), slot(2), buf(Bytes{}.u32(0), Bytes{}.u32(7)), buf(Bytes{}.u32(0), Bytes{}.u32(34)), strvar("old", k34)}, {},
         1528, 9, Bytes{}.u32(2), Reply{0xFFFF}.write(0, record(7, k34, 4, nullptr)), low16(-1)},

        // data copied from the record's address, as many bytes as its size says
        {"VokGetPropertyOfAny",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE), Bytes{}.u32(5)),
          buf(Bytes{}.fill(0xEE, 8), Bytes{'p', 'a', 'y', 'l', 'o', 0xEE, 0xEE, 0xEE})}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{2}.write(0, record(0x44, "AB", 5, kData)), low16(2)},
        {"VokGetPropertyOfAny",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE), Bytes{}.u32(0)), buf(Bytes{}.fill(0xEE, 8))}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{1}.write(0, record(0x44, "AB", 0, nullptr)), low16(1)},
        {"VokGetPropertyOfAny",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE)), buf(Bytes{}.fill(0xEE, 8))}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{0x10000}.write(0, record(0x44, "AB", 5, kData)), low16(0)},
        // an address nothing lives at delivers nothing
        {"VokGetPropertyOfAny",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE)), buf(Bytes{}.fill(0xEE, 8))}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{1}.write(0, record(0x44, "AB", 4, reinterpret_cast<void*>(0x10))), low16(0)},

        // the text at the data address up to its zero; the size field is ignored
        {"VokGetAnyPropertyOfString",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE), Bytes{}.u32(12)), strvar("old", "payload-data")}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{3}.write(0, record(0x44, "AB", 3, kData)), low16(3)},
        {"VokGetAnyPropertyOfString",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE)), strvar("old")}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{0}.write(0, record(0x44, "AB", 3, kData)), low16(0)},
        {"VokGetAnyPropertyOfString",
         {slot(9), slot(0x44), txt("AB"), buf(Bytes{}.u32(0xEEEEEEEE)), strvar("old")}, {},
         1529, 9, Bytes{}.u32(0x44).str("AB"), Reply{1}.write(0, record(0x44, "AB", 3, nullptr)), low16(0)},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Properties, DatabaseRequests) {
    const IoCase cases[] = {
        {"VokAppendDBPropertyOfLong", {slot(0xD8), slot(0x44), txt(k33), slot(7)}, {}, 1534, 0xD8,
         Bytes{}.u32(0x44).u32(7).str(k33), Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendDBPropertyOfLong", {slot(0xD8), slot(0x44), txt(""), slot(7)}, {}, 1534, 0xD8,
         Bytes{}.u32(0x44).u32(7).u8(0), Reply{kAnswer}, answer(kAnswer)},
        // value comes back whatever the answer, all 32 bits of which are returned
        {"VokGetDBPropertyOfLong", {slot(0xD8), slot(0x44), txt("AB"), buf(Bytes{}.u32(5), Bytes{}.u32(99))}, {}, 1535, 0xD8,
         Bytes{}.u32(0x44).u32(5).str("AB"), Reply{kAnswer}.write(4, Bytes{}.u32(99)), answer(kAnswer)},
        {"VokGetDBPropertyOfLong", {slot(0xD8), slot(0x44), txt("AB"), buf(Bytes{}.u32(5), Bytes{}.u32(98))}, {}, 1535, 0xD8,
         Bytes{}.u32(0x44).u32(5).str("AB"), Reply{0}.write(4, Bytes{}.u32(98)), answer(0)},
        {"VokAppendDBPropertyOfString", {slot(0xD8), slot(0x44), txt("AB"), txt(k255)}, {}, 1536, 0xD8,
         Bytes{}.u32(0x44).str("AB").str(k255), Reply{kAnswer}, answer(kAnswer)},
        {"VokAppendDBPropertyOfString", {slot(0xD8), slot(0x44), txt(k33), txt("")}, {}, 1536, 0xD8,
         Bytes{}.u32(0x44).str(k33).u8(0), Reply{kAnswer}, answer(kAnswer)},
        // 256 zero bytes out; the text is taken only on -1
        {"VokGetDBPropertyOfString", {slot(0xD8), slot(0x44), txt("AB"), strvar("old", "VAL")}, {}, 1537, 0xD8,
         Bytes{}.u32(0x44).str("AB").fill(0, 256), Reply{0x2FFFF}.write(7, Bytes{}.str("VAL")), low16(-1)},
        {"VokGetDBPropertyOfString", {slot(0xD8), slot(0x44), txt("AB"), strvar("old")}, {}, 1537, 0xD8,
         Bytes{}.u32(0x44).str("AB").fill(0, 256), Reply{1}.write(7, Bytes{}.str("VAL")), low16(1)},
        {"VokGetDBPropertyOfString", {slot(0xD8), slot(0x44), txt(k33), strvar("old", std::string(256, 'y'))}, {}, 1537, 0xD8,
         Bytes{}.u32(0x44).str(k33).fill(0, 256), Reply{0xFFFF}.write(38, Bytes{}.fill('y', 256)), low16(-1)},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Properties, Refusals) {
    const std::string half(8200, 'h');
    const IoCase cases[] = {
        // database name and value limits
        refusal("VokAppendDBPropertyOfLong", {slot(1), slot(2), txt(k34), slot(7)}, {}, low16()),
        refusal("VokGetDBPropertyOfLong", {slot(1), slot(2), txt(k34), buf(Bytes{}.u32(5))}, {}, low16()),
        refusal("VokAppendDBPropertyOfString", {slot(1), slot(2), txt(""), txt("v")}, {}, low16()),
        refusal("VokAppendDBPropertyOfString", {slot(1), slot(2), txt(k34), txt("v")}, {}, low16()),
        refusal("VokAppendDBPropertyOfString", {slot(1), slot(2), txt("AB"), txt(k256)}, {}, low16()),
        refusal("VokGetDBPropertyOfString", {slot(1), slot(2), txt(k34), strvar("old")}, {}, low16()),
        // null texts and outputs
        refusal("VokAppendDBPropertyOfLong", {slot(1), slot(2), slot(0), slot(7)}, {}, low16()),
        refusal("VokAppendDBPropertyOfString", {slot(1), slot(2), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokGetDBPropertyOfLong", {slot(1), slot(2), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokGetDBPropertyOfString", {slot(1), slot(2), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokAppendPropertyOfLong", {slot(1), slot(0), slot(7)}, {}, low16()),
        refusal("VokGetPropertyOfLong", {slot(1), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokGetPropertyOfDouble", {slot(1), slot(0), buf(Bytes{}.f64(1.0))}, {}, low16()),
        refusal("VokGetPropertyOfString", {slot(1), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokMarkProperty", {slot(1), slot(2), txt("AB"), slot(0)}, {}, low16()),
        refusal("VokReadPropertyIndex", {slot(1), slot(2), slot(0), buf(Bytes{}.u32(1)), strvar("old")}, {}, low16()),
        refusal("VokReadPropertyIndex", {slot(1), slot(2), buf(Bytes{}.u32(1)), buf(Bytes{}.u32(1)), slot(0)}, {}, low16()),
        refusal("VokGetPropertyOfAny", {slot(1), slot(2), txt("AB"), buf(Bytes{}.u32(1)), slot(0)}, {}, low16()),
        refusal("VokGetAnyPropertyOfString", {slot(1), slot(2), txt("AB"), slot(0), strvar("old")}, {}, low16()),
        // sizes: negative, or more than the payload area holds
        refusal("VokAppendProperty", {slot(1), slot(2), txt("AB"), slot(0xFFFFFFFF), buf(Bytes{1, 2})}, {}, low16()),
        refusal("VokAppendProperty", {slot(1), slot(2), txt("AB"), slot(0x7FFFFFFF), buf(Bytes{1, 2})}, {}, low16()),
        refusal("VokAppendProperty", {slot(1), slot(2), txt("AB"), slot(16380 - 4 - 3 - 4), buf(Bytes{}.fill(1, 16380))}, {}, low16()),
        refusal("VokAppendProperty", {slot(1), slot(2), txt("AB"), slot(3), slot(0)}, {}, low16()),
        // two texts that do not fit together
        refusal("VokAppendPropertyOfString", {slot(1), txt(half), txt(half)}, {}, low16()),
        refusal("VokDeletePropertyOfLong", {slot(1), txt(std::string(16380, 'h'))}, {}, low16()),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// The largest tagged property that fits: 4 + 3 + 4 + (size + 1) = 16380.
TEST_F(Properties, AppendPropertyFillsThePayloadArea) {
    const int32_t size = 16380 - 4 - 3 - 4 - 1;
    const IoCase c{"VokAppendProperty", {slot(1), slot(2), txt("AB"), slot(size), buf(Bytes{}.fill(0x31, size + 1))}, {},
                         1526, 1, Bytes{}.u32(2).str("AB").u32(size).fill(0x31, size + 1), Reply{kAnswer}, answer(kAnswer)};
    runIoCase(host, c);
}
