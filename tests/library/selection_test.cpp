// Selection and detection options: options as lParam or 4 payload bytes,
// packed and sign-extended lParams, subcode lists, the layer mask from array
// data, read-backs that happen whatever the answer, and the properties
// filter's table of 32-byte name fields.
#include "io_case.h"
#include "export_table.h"

using namespace kavtest;

namespace {

Bytes subcodes(std::initializer_list<uint16_t> values) {
    Bytes b;
    for (uint16_t v : values) b.u16(v);
    return b;
}

Bytes point(double x, double y) { return Bytes{}.f64(x).f64(y); }

}  // namespace

using Selection = FamilyTest;

TEST_F(Selection, OptionRequests) {
    const Reply a{kAnswer};
    const Expect r = answer(kAnswer);
    const IoCase cases[] = {
        {"VokGetEventMask", {}, {}, 1900, 0, {}, a, r},
        {"VokSetEventMask", {slot(0x80000001)}, {}, 1901, 0x80000001, {}, a, r},
        {"VokSetOptionDetectablePosition", {slot(3)}, {}, 1902, 3, {}, a, r},
        {"VokSetOptionElementType", {slot(2), slot(0x01020304)}, {}, 1903, 2, Bytes{4, 3, 2, 1}, a, r},
        {"VokSetOptionColor", {slot(2), slot(7)}, {}, 1905, 2, Bytes{}.u32(7), a, r},
        {"VokSetOptionLinestyle", {slot(2), slot(8)}, {}, 1906, 2, Bytes{}.u32(8), a, r},
        {"VokSetOptionLinewidth", {slot(0xFFFFFFFF), slot(9)}, {}, 1907, 0xFFFFFFFF, Bytes{}.u32(9), a, r},
        {"VokSetOptionTermtype", {slot(1), slot(2), slot(3)}, {}, 1908, 1, Bytes{}.u32(2).u32(3), a, r},
        {"VokSetOptionGroupDetection", {slot(2), slot(10)}, {}, 1911, 2, Bytes{}.u32(10), a, r},
        {"VokSetOptionDimGroupDetection", {slot(2), slot(11)}, {}, 1912, 2, Bytes{}.u32(11), a, r},
        {"VokSetOptionPartDetection", {slot(2), slot(12)}, {}, 1913, 2, Bytes{}.u32(12), a, r},
        {"VokSetOptionRestrictiveElements", {slot(2), slot(13)}, {}, 1914, 2, Bytes{}.u32(13), a, r},
        {"VokSetOptionSelectiveOperation", {slot(15)}, {}, 1915, 15, {}, a, r},
        {"VokSetOptionBoxingMode", {slot(16)}, {}, 1916, 16, {}, a, r},
        {"VokSetOptionOperation", {slot(17)}, {}, 1917, 17, {}, a, r},
        {"VokSetOptionSystemInfo", {slot(18)}, {}, 1918, 18, {}, a, r},
        {"VokSetOptionDetectableLayerScale", {slot(19)}, {}, 1919, 19, {}, a, r},
        {"VokSetOptionCheckButton", {slot(20)}, {}, 1920, 20, {}, a, r},
        {"VokSetOptionPreparedLayer", {slot(2), slot(0x10002)}, {}, 1921, 2, Bytes{2, 0}, a, r},
        {"VokSetSelectElementType", {slot(51)}, {}, 1951, 51, {}, a, r},
        {"VokSetSelectColor", {slot(52)}, {}, 1952, 52, {}, a, r},
        {"VokSetSelectLineStyle", {slot(53)}, {}, 1953, 53, {}, a, r},
        {"VokSetSelectLineWidth", {slot(54)}, {}, 1954, 54, {}, a, r},
        {"VokSetSelectGroupDetection", {slot(57)}, {}, 1957, 57, {}, a, r},
        {"VokSetSelectDimGroupDetection", {slot(58)}, {}, 1958, 58, {}, a, r},
        {"VokSetSelectPartDetection", {slot(59)}, {}, 1959, 59, {}, a, r},
        {"VokSearchElements", {}, {}, 1981, 0, {}, a, r},

        // packed lParams: both halves zero-extended from 16 bits
        {"VokSetSelectTermType", {slot(2), slot(5)}, {}, 1955, 0x50002, {}, a, r},
        {"VokSetSelectTermType", {slot(0xFFFFFFFF), slot(0)}, {}, 1955, 0xFFFF, {}, a, r},
        {"VokSetSelectTermType", {slot(0x10001), slot(0xFFFF0002)}, {}, 1955, 0x20001, {}, a, r},
        {"VokSetOptionSubcodeEx", {slot(1), slot(3), buf(subcodes({10, 11, 12, 13}))}, {}, 1904, 0x30001,
         subcodes({10, 11, 12}), a, r},
        {"VokSetOptionSubcodeEx", {slot(0xFFFF0001), slot(0x10002), buf(subcodes({10, 11, 12}))}, {}, 1904, 0x20001,
         subcodes({10, 11}), a, r},
        {"VokSetOptionSubcodeEx", {slot(0xFFFFFFFF), slot(0), slot(0)}, {}, 1904, 0xFFFF, {}, a, r},
        // the largest list that fits the payload area
        {"VokSetOptionSubcodeEx", {slot(1), slot(8190), buf(Bytes{}.fill(0x21, 16380))}, {}, 1904, 0x1FFE0001,
         Bytes{}.fill(0x21, 16380), a, r},

        // array data: the first count x 2 bytes; count sign-extended
        {"VokSetSelectSubcode", {slot(3), array(subcodes({1, 2, 3, 4}))}, {}, 1956, 3, subcodes({1, 2, 3}), a, r},
        {"VokSetSelectSubcode", {slot(0x10002), array(subcodes({1, 2, 3}))}, {}, 1956, 2, subcodes({1, 2}), a, r},
        {"VokSetSelectSubcode", {slot(0), array(subcodes({1}))}, {}, 1956, 0, {}, a, r},
        // the layer mask: 128 bytes of the array's data, whatever its size
        {"VokSetOptionDetectableLayer", {slot(4), array(pattern(160, 0x10))}, {}, 1910, 4, pattern(128, 0x10), a, r},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Selection, ReadBacks) {
    const Bytes rec32a = pattern(32, 0x40), rec32b = pattern(32, 0x80);
    const IoCase cases[] = {
        // 4 bytes back whatever the answer; 16 bits returned
        {"VokSelectCSB", {buf(Bytes{}.u32(7), Bytes{}.u32(0x55))}, {}, 1950, 0, Bytes{}.u32(7),
         Reply{0x10002}.write(0, Bytes{}.u32(0x55)), low16(2)},
        {"VokSelectCSB", {buf(Bytes{}.u32(7))}, {}, 1950, 0, Bytes{}.u32(7), Reply{0xFFFFFFFF}, low16(-1)},
        {"VokSelectCSB", {buf(Bytes{}.u32(7), Bytes{}.u32(0x66))}, {}, 1950, 0, Bytes{}.u32(7),
         Reply{0}.write(0, Bytes{}.u32(0x66)), low16(0)},

        {"VokSelectCSBBySegregateMark",
         {buf(Bytes{}.u32(1), Bytes{}.u32(11)), buf(Bytes{}.u32(2), Bytes{}.u32(12)), buf(rec32a, rec32b)}, {},
         1960, 0, Bytes{}.u32(1).u32(2).raw(rec32a.b.data(), 32),
         Reply{0}.write(0, Bytes{}.u32(11).u32(12)).write(8, rec32b), answer(0)},
        {"VokDetectElementsByRect",
         {buf(point(1, 2), point(3, 4)), buf(point(5, 6), point(7, 8)), buf(Bytes{}.u32(1), Bytes{}.u32(9)),
          buf(Bytes{}.u32(2), Bytes{}.u32(10))}, {},
         1980, 0, point(1, 2).raw(point(5, 6).b.data(), 16).u32(1).u32(2),
         Reply{kAnswer}.write(0, point(3, 4)).write(16, point(7, 8)).write(32, Bytes{}.u32(9).u32(10)), answer(kAnswer)},
        // a host that writes nothing hands back the bytes that went out
        {"VokDetectElementsByRect",
         {buf(point(1, 2)), buf(point(5, 6)), buf(Bytes{}.u32(1)), buf(Bytes{}.u32(2))}, {},
         1980, 0, point(1, 2).raw(point(5, 6).b.data(), 16).u32(1).u32(2), Reply{1}, answer(1)},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Selection, Refusals) {
    const IoCase cases[] = {
        refusal("VokSetOptionSubcodeEx", {slot(1), slot(0xFFFF), buf(subcodes({1, 2}))}, {}, low16()),
        refusal("VokSetOptionSubcodeEx", {slot(1), slot(8191), buf(Bytes{}.fill(0x21, 16382))}, {}, low16()),
        refusal("VokSetOptionSubcodeEx", {slot(1), slot(2), slot(0)}, {}, low16()),
        refusal("VokSetSelectSubcode", {slot(0xFFFF), array(subcodes({1, 2}))}, {}, low16()),
        refusal("VokSetSelectSubcode", {slot(8191), array(Bytes{}.fill(0x21, 16382))}, {}, low16()),
        refusal("VokSetSelectSubcode", {slot(1), slot(0)}, {}, low16()),
        refusal("VokSetOptionDetectableLayer", {slot(4), slot(0)}, {}, low16()),
        refusal("VokSelectCSB", {slot(0)}, {}, low16()),
        refusal("VokSelectCSBBySegregateMark", {buf(Bytes{}.u32(1)), buf(Bytes{}.u32(2)), slot(0)}, {}, low16()),
        refusal("VokDetectElementsByRect", {buf(point(1, 2)), slot(0), buf(Bytes{}.u32(1)), buf(Bytes{}.u32(2))}, {}, low16()),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// ---- the properties filter ---------------------------------------------------

namespace {

struct Filter {
    std::vector<int32_t> tags;
    std::vector<std::string> texts;
    std::vector<const char*> names;
    explicit Filter(std::vector<std::string> t) : texts(std::move(t)) {
        for (size_t i = 0; i < texts.size(); ++i) {
            tags.push_back(static_cast<int32_t>(100 + i));
            names.push_back(texts[i].c_str());
        }
    }
    Slots slots(uint32_t mode, uint32_t count) const { return Slots{mode, count}.ptr(tags.data()).ptr(names.data()); }
};

Bytes field(const std::string& name) {
    Bytes b;
    b.raw(name.data(), name.size());
    return b.fill(0, 32 - name.size());
}

}  // namespace

TEST_F(Selection, PropertiesFilterCountZeroSendsTwoZeroBytes) {
    host.reply(kAnswer);
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", Slots{6, 0, 0, 0}).eax, kAnswer);
    expectRequest(host.only(), 1909, 6, Bytes{0, 0});
}

TEST_F(Selection, PropertiesFilterTagsThenNameFields) {
    Filter f({"A", "BC"});
    f.tags = {5, 7};
    host.reply(kAnswer);
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", f.slots(6, 2)).eax, kAnswer);
    const Bytes want = Bytes{2, 0}.u32(5).u32(7).raw(field("A").b.data(), 32).raw(field("BC").b.data(), 32);
    ASSERT_EQ(want.size(), 74u);
    expectRequest(host.only(), 1909, 6, want);
}

TEST_F(Selection, PropertiesFilterTenEntriesLongNamesCut) {
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) names.push_back(std::string(25 + 2 * i, static_cast<char>('a' + i)));  // 25 .. 43
    Filter f(names);
    host.reply(kAnswer);
    // only the low half of the count slot counts: 0x1000A is 10
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", f.slots(6, 0x1000A)).eax, kAnswer);
    Bytes want = Bytes{10, 0};
    for (int32_t t : f.tags) want.u32(static_cast<uint32_t>(t));
    for (const std::string& n : names) want.raw(field(n.substr(0, 31)).b.data(), 32);
    ASSERT_EQ(want.size(), 362u);
    expectRequest(host.only(), 1909, 6, want);
}

TEST_F(Selection, PropertiesFilterNamesCutAtAWholeCharacter) {
    ASSERT_EQ(::GetACP(), 932u) << "double-byte characters of code page 932";
    // 30 bytes, then ソ (83 5C): the name is cut before it; 29 bytes and ソ fit.
    Filter f({std::string(30, 'a') + "\x83\x5C" + "b", std::string(29, 'c') + "\x83\x5C" + "d"});
    host.reply(kAnswer);
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", f.slots(6, 2)).eax, kAnswer);
    Bytes want = Bytes{2, 0};
    for (int32_t t : f.tags) want.u32(static_cast<uint32_t>(t));
    want.raw(field(std::string(30, 'a')).b.data(), 32).raw(field(std::string(29, 'c') + "\x83\x5C").b.data(), 32);
    expectRequest(host.only(), 1909, 6, want);
}

TEST_F(Selection, PropertiesFilterRefusals) {
    Filter ten({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"});
    for (uint32_t count : {11u, 0xFFFFu, 0x8000u}) {
        SCOPED_TRACE(count);
        host.call("VokSetOptionPropertiesEx", ten.slots(6, count));
        EXPECT_TRUE(host.requests().empty());
    }
    // a null name, a null list of names, a null list of tags
    Filter f({"A", "B"});
    f.names[1] = nullptr;
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", f.slots(6, 2)).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", Slots{6, 1}.ptr(f.tags.data()).u32(0)).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
    EXPECT_EQ(host.call("VokSetOptionPropertiesEx", Slots{6, 1, 0}.ptr(f.names.data())).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
}
