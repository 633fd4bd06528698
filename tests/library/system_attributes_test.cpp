// System attributes, string styles and binders: records moved whole in both
// directions, the extended values split between lParam and payload, style
// numbers sign-extended, binder texts as 256-byte buffers.
#include "rows.h"

using namespace kavtest;

using SystemAttributes = FamilyTest;

TEST_F(SystemAttributes, EveryRequest) {
    const Bytes attr = pattern(8, 0x10), stringAttr = pattern(56, 0x10), style = pattern(92, 0x10);
    const Bytes text256 = pattern(256, 0x80);
    // "a", its terminator and the 254 bytes that follow it in the caller's buffer.
    const Bytes savedPath = Bytes{}.str("a").fill(0x5A, 254);
    const IoCase cases[] = {
        IoCase{"VokGetSystemElementAttr", {buf(0)}, {{attr, scribbled(0, 8)}}, 1100, 0, attr},
        IoCase{"VokSetSystemElementAttr", {buf(0)}, {{attr}}, 1101, 0, attr},
        IoCase{"VokGetSystemStringAttr", {buf(0)}, {{stringAttr, scribbled(0, 56)}}, 1102, 0, stringAttr},
        IoCase{"VokSetSystemStringAttr", {buf(0)}, {{stringAttr}}, 1103, 0, stringAttr},
        IoCase{"VokGetSystemStringAttrEx", {buf(0), buf(1)},
         {{Bytes{}.u16(0x1111), scribbled(0, 2)}, {Bytes{}.u16(0x2222), scribbled(2, 2)}}, 1104, 0,
         Bytes{}.u16(0x1111).u16(0x2222)},
        // The host changes only the second value: the first comes back as sent.
        IoCase{"VokGetSystemStringAttrEx", {buf(0), buf(1)},
         {{Bytes{}.u16(0x1111), Bytes{}.u16(0x1111)}, {Bytes{}.u16(0x2222), Bytes{}.u16(0x7777)}}, 1104, 0,
         Bytes{}.u16(0x1111).u16(0x2222), Reply{kAnswer}.write(2, Bytes{}.u16(0x7777))},
        IoCase{"VokSetSystemStringAttrEx", {slot(0xFFFFFFFF), slot(5)}, {}, 1105, 65535, Bytes{5, 0}},
        IoCase{"VokSetSystemStringAttrEx", {slot(0x10002), slot(0x30004)}, {}, 1105, 2, Bytes{4, 0}},
        IoCase{"VokCountStringStyle", {}, {}, 1106, 0, {}},
        IoCase{"VokGetStringStyle", {slot(0xFFFFFFFF), buf(0)}, {{style, scribbled(0, 92)}}, 1107, 0xFFFFFFFF, style},
        IoCase{"VokGetStringStyle", {slot(40000), buf(0)}, {{style, scribbled(0, 92)}}, 1107,
         static_cast<uint32_t>(-25536), style},
        IoCase{"VokGetCurrentBinder", {}, {}, 2140, 0, {}},
        IoCase{"VokGetNextBinder", {slot(0x80000001)}, {}, 2141, 0x80000001, {}},
        IoCase{"VokGetNextSheet", {slot(7), buf(0)}, {{Bytes{}.u32(0x01020304), scribbled(0, 4)}}, 2142, 7,
         Bytes{}.u32(0x01020304)},
        IoCase{"VokGetBinderFilePath", {slot(9), buf(0)}, {{text256, scribbled(0, 256)}}, 2143, 9, text256},
        IoCase{"VokGetBinderPlanName", {slot(9), buf(0)}, {{text256, scribbled(0, 256)}}, 2144, 9, text256},
        IoCase{"VokSaveBinder", {slot(9), buf(0)}, {{savedPath}}, 2145, 9, savedPath},
        IoCase{"VokDeleteBinder", {slot(0xFFFFFFFF)}, {}, 2146, 0xFFFFFFFF, {}},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(SystemAttributes, NullAddressesAreRefused) {
    const Mem value{Bytes{}.u16(0x1234)};
    const IoCase cases[] = {
        refusal("VokGetSystemElementAttr", {nul()}),
        refusal("VokSetSystemElementAttr", {nul()}),
        refusal("VokGetSystemStringAttr", {nul()}),
        refusal("VokSetSystemStringAttr", {nul()}),
        refusal("VokGetSystemStringAttrEx", {buf(0), nul()}, {value}),
        refusal("VokGetSystemStringAttrEx", {nul(), buf(0)}, {value}),
        refusal("VokGetStringStyle", {slot(1), nul()}),
        refusal("VokGetNextSheet", {slot(1), nul()}),
        refusal("VokGetBinderFilePath", {slot(1), nul()}),
        refusal("VokGetBinderPlanName", {slot(1), nul()}),
        refusal("VokSaveBinder", {slot(1), nul()}),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// With no host window the send answers 0 and an in-out record comes back
// holding the bytes that were sent.
TEST(SystemAttributesUnbound, RecordsComeBackAsSent) {
    RecordingHost host;
    host.unbind();
    const Bytes stringAttr = pattern(56, 0x10);
    RowMemory memory({{stringAttr}});
    EXPECT_EQ(host.call("VokGetSystemStringAttr", memory.slots({buf(0)})).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
    memory.check(0, stringAttr);
}
