// Parts and symbols: plain requests, the payload offsets of the positioning
// functions, attribute getters that copy only on a 16-bit -1, part
// information cut into three texts, washers as flags and "%g" texts, and the
// part name measured by its string header.
#include "rows.h"

using namespace kavtest;

namespace {

Bytes point(double x, double y) { return Bytes{}.f64(x).f64(y); }
Bytes f64(double d) { return Bytes{}.f64(d); }
Bytes u16(uint16_t v) { return Bytes{}.u16(v); }

}  // namespace

using SymbolsParts = FamilyTest;

TEST_F(SymbolsParts, PlainRequests) {
    const Reply a{kAnswer};
    const Expect r = answer(kAnswer);
    const IoCase cases[] = {
        IoCase{"VokResolvePart", {slot(3), slot(8)}, {}, 1452, 3, Bytes{}.u32(8), a, r},
        IoCase{"VokGetPartIndex", {slot(53)}, {}, 1453, 53, {}, a, r},
        IoCase{"VokGetFirstPartFigure", {slot(54)}, {}, 1454, 54, {}, a, r},
        IoCase{"VokGetNextPartFigure", {slot(55)}, {}, 1455, 55, {}, a, r},
        IoCase{"VokGetPartFigureByVMember", {slot(57)}, {}, 1457, 57, {}, a, r},
        IoCase{"VokResolvePartYesNo", {}, {}, 1458, 0, {}, a, r},
        IoCase{"VokCreateSymbol", {slot(4), buf(point(1, 2))}, {}, 1570, 4, point(1, 2), a, r},
        IoCase{"VokResolveSymbol", {slot(72)}, {}, 1572, 72, {}, a, r},
        IoCase{"VokGetSymbolFirstMember", {slot(73)}, {}, 1573, 73, {}, a, r},
        IoCase{"VokGetSymbolNextMember", {slot(74)}, {}, 1574, 74, {}, a, r},
        IoCase{"VokGetSymbolIndex", {slot(0xFFFFFFFF)}, {}, 1575, 0xFFFFFFFF, {}, a, r},
        IoCase{"VokGetSymbolFirstFigure", {slot(78)}, {}, 1578, 78, {}, a, r},
        IoCase{"VokGetSymbolNextFigure", {slot(79)}, {}, 1579, 79, {}, a, r},
        IoCase{"VokAppendSymbolPoint", {slot(4), buf(point(1, 2))}, {}, 1580, 4, point(1, 2), a, r},
        IoCase{"VokDeleteSymbolPoint", {slot(4), slot(0x10003)}, {}, 1581, 4, u16(3), a, r},
        IoCase{"VokDeleteAllSymbolPoint", {slot(82)}, {}, 1582, 82, {}, a, r},

        // position 0, real1 16, real2 24, flag 32; nothing comes back
        IoCase{"VokPositionPart", {slot(3), buf(point(1, 2)), dbl(3.5), dbl(4.5), slot(0x1FFFF)}, {}, 1451, 3,
         point(1, 2).f64(3.5).f64(4.5).u16(0xFFFF), Reply{kAnswer}.write(0, point(8, 8)), r},
        // symbol 0, position 4 (back whatever the answer), doubles 20 and 28, value 36
        IoCase{"VokPositionSymbol", {slot(7), buf(point(1, 2), point(3, 4)), dbl(5), dbl(6), slot(8)}, {}, 1571, 0,
         Bytes{}.u32(7).raw(point(1, 2).b.data(), 16).f64(5).f64(6).u32(8),
         Reply{0}.write(0, Bytes{}.u32(99)).write(4, point(3, 4)).write(20, f64(9)), answer(0)},
        IoCase{"VokPositionSymbolEx", {slot(7), buf(point(1, 2), point(3, 4)), dbl(5), dbl(6), buf(f64(9), f64(10))}, {}, 1583, 0,
         Bytes{}.u32(7).raw(point(1, 2).b.data(), 16).f64(5).f64(6).f64(9),
         Reply{kAnswer}.write(4, point(3, 4)).write(36, f64(10)), r},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(SymbolsParts, AttributeGettersCopyOnlyOnMinusOne) {
    const Bytes figure = point(1, 2).f64(3).f64(4).u16(6);
    const Bytes out34 = Bytes{}.fill(0, 34), out48 = Bytes{}.fill(0, 48);
    const Bytes rec32 = pattern(32, 0x40);
    const IoCase cases[] = {
        IoCase{"VokGetPartFigureAttr",
         {slot(5), buf(point(9, 9), point(1, 2)), buf(f64(9), f64(3)), buf(f64(9), f64(4)), buf(u16(9), u16(6))}, {},
         1456, 5, out34, Reply{0xFFFF}.write(0, figure), low16(-1)},
        IoCase{"VokGetPartFigureAttr", {slot(5), buf(point(9, 9)), buf(f64(9)), buf(f64(9)), buf(u16(9))}, {},
         1456, 5, out34, Reply{1}.write(0, figure), low16(1)},
        IoCase{"VokGetSymbolFigureAttr",
         {slot(5), buf(point(9, 9), point(1, 2)), buf(f64(9), f64(3)), buf(f64(9), f64(4)), buf(u16(9), u16(6))}, {},
         1577, 5, out34, Reply{0x3FFFF}.write(0, figure), low16(-1)},
        IoCase{"VokGetSymbolFigureAttr", {slot(5), buf(point(9, 9)), buf(f64(9)), buf(f64(9)), buf(u16(9))}, {},
         1577, 5, out34, Reply{1}.write(0, figure), low16(1)},
        IoCase{"VokGetSymbolAttr", {slot(6), buf(point(9, 9), point(1, 2)), buf(Bytes{}.fill(0xEE, 32), rec32)}, {},
         1576, 6, out48, Reply{0xFFFF}.write(0, point(1, 2)).write(16, rec32), low16(-1)},
        IoCase{"VokGetSymbolAttr", {slot(6), buf(point(9, 9)), buf(Bytes{}.fill(0xEE, 32))}, {},
         1576, 6, out48, Reply{0xFFFE}.write(0, point(1, 2)).write(16, rec32), low16(-2)},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(SymbolsParts, PartInfoAndWashers) {
    const Reply info = Reply{1}.write(0, Bytes{}.str("one")).write(256, Bytes{}.str("two")).write(512, Bytes{}.str("three"));
    const IoCase cases[] = {
        IoCase{"VokGetPartInfo", {slot(8), strvar("a", "one"), strvar("b", "two"), strvar("c", "three")}, {}, 2150, 8, {}, info,
         low16(1)},
        IoCase{"VokGetPartInfo", {slot(8), strvar("a"), strvar("b"), strvar("c")}, {}, 2150, 8, {},
         Reply{0x10000}.write(0, Bytes{}.str("one")), low16(0)},
        // a field with no zero byte gives its 256 bytes, not more
        IoCase{"VokGetPartInfo",
         {slot(8), strvar("a", std::string(256, 'p')), strvar("b", std::string(256, 'q')), strvar("c", "r")}, {}, 2150, 8, {},
         Reply{0xFFFF}.write(0, Bytes{}.fill('p', 256).fill('q', 256).str("r")), low16(-1)},
        // a field without a zero byte whose last byte is the first half of 構 (8D 5C): 255 bytes
        {"VokGetPartInfo",
         {slot(8), strvar("a", std::string(255, 'p')), strvar("b", std::string(254, 'q') + "\x8D\x5C"), strvar("c", "r")}, {}, 2150, 8, {},
         Reply{1}.write(0, Bytes{}.fill('p', 255).raw("\x8D", 1).fill('q', 254).raw("\x8D\x5C", 2).str("r")), low16(1)},

        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0x1111), u16(0xFFFF)), buf(u16(0x1111), u16(0xFFFF)), strvar("P", "PWF10"), strvar("S", "SLW10")}, {},
         2151, 8, {}, Reply{3}.write(0, f64(10)), noResult()},
        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0x1111), u16(0)), buf(u16(0x1111), u16(0xFFFF)), strvar("P"), strvar("S", "SLW2.5")}, {},
         2151, 8, {}, Reply{2}.write(0, f64(2.5)), noResult()},
        IoCase{"VokHasWasher", {slot(8), buf(u16(0x1111), u16(0)), buf(u16(0x1111), u16(0)), strvar("P"), strvar("S")}, {},
         2151, 8, {}, Reply{4}.write(0, f64(2.5)), noResult()},
        IoCase{"VokHasWasher", {slot(8), buf(u16(0x1111), u16(0)), buf(u16(0x1111), u16(0)), strvar("P"), strvar("S")}, {},
         2151, 8, {}, Reply{0x10000}.write(0, f64(2.5)), noResult()},
        // "%g": six significant digits, two-digit exponents
        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0), u16(0xFFFF)), buf(u16(0), u16(0)), strvar("P", "PWF1e+10"), strvar("S")}, {},
         2151, 8, {}, Reply{0x10001}.write(0, f64(1e10)), noResult()},
        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0), u16(0xFFFF)), buf(u16(0), u16(0)), strvar("P", "PWF0.123457"), strvar("S")}, {},
         2151, 8, {}, Reply{1}.write(0, f64(0.1234567)), noResult()},
        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0), u16(0xFFFF)), buf(u16(0), u16(0)), strvar("P", "PWF-1e-05"), strvar("S")}, {},
         2151, 8, {}, Reply{1}.write(0, f64(-0.00001)), noResult()},
        IoCase{"VokHasWasher",
         {slot(8), buf(u16(0), u16(0xFFFF)), buf(u16(0), u16(0)), strvar("P", "PWF123457"), strvar("S")}, {},
         2151, 8, {}, Reply{1}.write(0, f64(123456.7)), noResult()},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(SymbolsParts, Refusals) {
    const IoCase cases[] = {
        refusal("VokPositionPart", {slot(3), slot(0), dbl(1), dbl(2), slot(0)}, {}, low16()),
        refusal("VokCreateSymbol", {slot(3), slot(0)}, {}, low16()),
        refusal("VokPositionSymbol", {slot(3), slot(0), dbl(1), dbl(2), slot(0)}, {}, low16()),
        refusal("VokPositionSymbolEx", {slot(3), buf(point(1, 2)), dbl(1), dbl(2), slot(0)}, {}, low16()),
        refusal("VokAppendSymbolPoint", {slot(3), slot(0)}, {}, low16()),
        refusal("VokGetPartFigureAttr", {slot(5), buf(point(9, 9)), buf(f64(9)), slot(0), buf(u16(9))}, {}, low16()),
        refusal("VokGetSymbolFigureAttr", {slot(5), buf(point(9, 9)), buf(f64(9)), buf(f64(9)), slot(0)}, {}, low16()),
        refusal("VokGetSymbolAttr", {slot(6), slot(0), buf(Bytes{}.fill(0xEE, 32))}, {}, low16()),
        refusal("VokGetPartInfo", {slot(8), strvar("a"), slot(0), strvar("c")}, {}, low16()),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(SymbolsParts, HasWasherRefusesMissingOutputs) {
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(missing);
        std::vector<Arg> args = {slot(8), buf(u16(0x1111)), buf(u16(0x1111)), strvar("P"), strvar("S")};
        args[1 + missing] = slot(0);
        RowMemory mem(std::vector<Mem>{});
        host.reply(Reply{3}.write(0, f64(10)));
        host.call("VokHasWasher", mem.slots(args));
        EXPECT_TRUE(host.requests().empty());
        mem.checkArgs(args);
        host.clear();
    }
}

// The byte length comes from the string's header: not from a terminator, and
// a zero byte inside the string travels too.
TEST_F(SymbolsParts, CreatePartSendsTheHeaderLength) {
    struct Row {
        std::string bytes;
        bool refused;
    };
    const Row rows[] = {
        {std::string(260, 'N'), false},
        {std::string(261, 'N'), true},
        {"", false},
        {std::string("A\0B", 3), false},
        {"odd", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.size());
        CallerMemory memory;
        const BSTR name = memory.string(row.bytes);
        ASSERT_NE(name, nullptr);
        host.clear();
        host.reply(kAnswer);
        const CallResult r = host.call("VokCreatePart", Slots{}.ptr(name));
        if (row.refused) {
            EXPECT_EQ(r.eax, 0u);
            EXPECT_TRUE(host.requests().empty());
        } else {
            EXPECT_EQ(r.eax, kAnswer);
            Bytes want;
            want.raw(row.bytes.data(), row.bytes.size());
            expectRequest(host.only(), 1450, static_cast<uint32_t>(row.bytes.size()), want);
        }
    }
    // a null string has length 0
    host.clear();
    host.reply(kAnswer);
    EXPECT_EQ(host.call("VokCreatePart", Slots{0}).eax, kAnswer);
    expectRequest(host.only(), 1450, 0, {});
}
