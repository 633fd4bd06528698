// Display, highlight and rubber-band drawing: shapes and attributes gathered
// in order and never read back, 16-bit highlight modes as 2 payload bytes,
// and the two text shapes: whole form with the text limited only by the
// payload area for display, position form behind the attributes and the
// extended values, with the 256-byte text check, for rubber-band drawing.
#include "rows.h"

#include <cstring>
#include <string>

using namespace kavtest;

using Display = FamilyTest;

TEST_F(Display, EveryRequest) {
    const Bytes attr = pattern(8, 0xF0);
    const Bytes point = pattern(16, 0x10), line = pattern(32, 0x10), circle = pattern(24, 0x10);
    const Bytes arc = pattern(44, 0x10), ellipse = pattern(40, 0x10), ellArc = pattern(60, 0x10);
    const Bytes header = pattern(28, 0x01), values1 = pattern(880, 0x02), points = pattern(1760, 0x03),
                values2 = pattern(880, 0x04), copyParam = pattern(76, 0x30);
    const IoCase cases[] = {
        IoCase{"VokDisplayPointShape", {buf(0), buf(1)}, {{point}, {attr}}, 1400, 0, cat({point, attr})},
        IoCase{"VokDisplayLineShape", {buf(0), buf(1)}, {{line}, {attr}}, 1401, 0, cat({line, attr})},
        IoCase{"VokDisplayCircleShape", {buf(0), buf(1)}, {{circle}, {attr}}, 1402, 0, cat({circle, attr})},
        IoCase{"VokDisplayArcShape", {buf(0), buf(1)}, {{arc}, {attr}}, 1403, 0, cat({arc, attr})},
        IoCase{"VokDisplayEllipseShape", {buf(0), buf(1)}, {{ellipse}, {attr}}, 1404, 0, cat({ellipse, attr})},
        IoCase{"VokDisplayElement", {slot(0x80000001)}, {}, 1406, 0x80000001, {}},
        IoCase{"VokDisplayMark", {slot(12)}, {}, 1407, 12, {}},
        IoCase{"VokClearElement", {slot(13)}, {}, 1408, 13, {}},
        IoCase{"VokHilightElement", {slot(14), slot(0x10002)}, {}, 1409, 14, Bytes{2, 0}},
        IoCase{"VokHilightMark", {slot(15), slot(0xFFFFFFFF)}, {}, 1410, 15, Bytes{0xFF, 0xFF}},
        IoCase{"VokDisplayEllArcShape", {buf(0), buf(1)}, {{ellArc}, {attr}}, 1411, 0, cat({ellArc, attr})},
        IoCase{"VokClearMark", {slot(16)}, {}, 1412, 16, {}},
        IoCase{"VokDisplayAll", {}, {}, 1413, 0, {}},
        IoCase{"VokDoubleHilightElement", {slot(17), slot(0x20001)}, {}, 1414, 17, Bytes{1, 0}},
        IoCase{"VokDoubleHilightMark", {slot(18), slot(0x8000)}, {}, 1415, 18, Bytes{0, 0x80}},
        // 28 + 880 + 1760 + 880 + 8 = 3556 bytes.
        IoCase{"VokDisplayBSplineShapeIF", {buf(0), buf(1), buf(2), buf(3), buf(4)},
         {{header}, {values1}, {points}, {values2}, {attr}}, 1416, 0, cat({header, values1, points, values2, attr})},
        IoCase{"VokDisplayZoomAll", {}, {}, 1417, 0, {}},
        IoCase{"VokStartRubber", {}, {}, 1701, 0, {}},
        IoCase{"VokEndRubber", {}, {}, 1702, 0, {}},
        IoCase{"VokDrawRubberLine", {buf(0)}, {{line}}, 1703, 0, line},
        IoCase{"VokDrawRubberLongLine", {buf(0)}, {{line}}, 1704, 0, line},
        IoCase{"VokDrawRubberCircle", {buf(0)}, {{circle}}, 1705, 0, circle},
        IoCase{"VokDrawRubberArc", {buf(0)}, {{arc}}, 1706, 0, arc},
        IoCase{"VokDrawRubberEllipse", {buf(0)}, {{ellipse}}, 1707, 0, ellipse},
        IoCase{"VokDrawRubberEllArc", {buf(0)}, {{ellArc}}, 1708, 0, ellArc},
        IoCase{"VokDrawRubberMarkElements", {buf(0)}, {{copyParam}}, 1709, 0, copyParam},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Display, MissingRecordsAreRefused) {
    const Mem attr{pattern(8, 0xF0)}, shape{pattern(60, 0x10)}, block{pattern(1760, 0x10)};
    const IoCase cases[] = {
        refusal("VokDisplayPointShape", {nul(), buf(0)}, {attr}),
        refusal("VokDisplayLineShape", {buf(0), nul()}, {shape}),
        refusal("VokDisplayCircleShape", {nul(), buf(0)}, {attr}),
        refusal("VokDisplayArcShape", {nul(), buf(0)}, {attr}),
        refusal("VokDisplayEllipseShape", {buf(0), nul()}, {shape}),
        refusal("VokDisplayEllArcShape", {buf(0), nul()}, {shape}),
        refusal("VokDisplayBSplineShapeIF", {buf(0), buf(0), nul(), buf(0), buf(1)}, {block, attr}),
        refusal("VokDisplayBSplineShapeIF", {buf(0), buf(0), buf(0), buf(0), nul()}, {block}),
        refusal("VokDrawRubberLine", {nul()}),
        refusal("VokDrawRubberLongLine", {nul()}),
        refusal("VokDrawRubberCircle", {nul()}),
        refusal("VokDrawRubberArc", {nul()}),
        refusal("VokDrawRubberEllipse", {nul()}),
        refusal("VokDrawRubberEllArc", {nul()}),
        refusal("VokDrawRubberMarkElements", {nul()}),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// ---- text shapes ------------------------------------------------------------
// Buffer 0 is the caller's StringShape; its text reference, written in the
// rows as kTextRef, is replaced by the address of buffer 1 (the text) before
// the call, in the record and wherever the expected payload carries it.

namespace {

constexpr uint32_t kTextRef = 0xDEADBEEF;

void replaceRef(Bytes& bytes, uint32_t ref) {
    const uint8_t placeholder[4] = {0xEF, 0xBE, 0xAD, 0xDE};
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes.b[i], placeholder, 4) == 0) std::memcpy(&bytes.b[i], &ref, 4);
}

void runTextShapeCase(RecordingHost& host, IoCase c) {
    RowMemory memory(c.mem);
    const uint32_t ref = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory.data(1)));
    std::memcpy(memory.data(0) + 16, &ref, 4);
    replaceRef(c.mem[0].before, ref);
    replaceRef(c.payload, ref);
    runIoCase(host, c, memory);
}

Bytes textShape(uint32_t ref = kTextRef) { return Bytes{}.f64(10.0).f64(-20.0).u32(ref); }
const Bytes kPosition = Bytes{}.f64(10.0).f64(-20.0);

}  // namespace

TEST_F(Display, DisplayStringShapeTravelsWhole) {
    const Bytes stringAttr = pattern(56, 0x10);
    const std::string longest(kPayloadSize - 76 - 1, 't');  // 16304 bytes with the terminator
    const IoCase cases[] = {
        // 20 + 56 + 3 bytes; offsets 16 to 19 carry the caller's text reference.
        IoCase{"VokDisplayStringShape", {buf(0), buf(2)}, {{textShape()}, {Bytes{}.str("AB")}, {stringAttr}}, 1405, 0,
         cat({textShape(), stringAttr, Bytes{}.str("AB")})},
        IoCase{"VokDisplayStringShape", {buf(0), buf(2)}, {{textShape()}, {Bytes{0}}, {stringAttr}}, 1405, 0,
         cat({textShape(), stringAttr, Bytes{0}})},
        IoCase{"VokDisplayStringShape", {buf(0), buf(2)}, {{textShape()}, {Bytes{}.str(longest)}, {stringAttr}}, 1405, 0,
         cat({textShape(), stringAttr, Bytes{}.str(longest)})},
        refusal("VokDisplayStringShape", {buf(0), buf(2)}, {{textShape()}, {Bytes{}.str(longest + "t")}, {stringAttr}}),
        refusal("VokDisplayStringShape", {buf(0), nul()}, {{textShape()}, {Bytes{}.str("AB")}}),
    };
    for (const IoCase& c : cases) runTextShapeCase(host, c);

    const IoCase badReferences[] = {
        refusal("VokDisplayStringShape", {nul(), buf(0)}, {{stringAttr}}),
        refusal("VokDisplayStringShape", {buf(0), buf(1)}, {{textShape(0)}, {stringAttr}}),
        refusal("VokDisplayStringShape", {buf(0), buf(1)}, {{textShape(1)}, {stringAttr}}),  // unreadable text
    };
    for (const IoCase& c : badReferences) runIoCase(host, c);
}

// Argument order shape, attributes, exValue1, exValue2; payload order
// attributes (0), exValue1 (56), exValue2 (58), position (60), text (76).
TEST_F(Display, DrawRubberStringPayloadOrderAndTextCheck) {
    const Bytes stringAttr = pattern(56, 0x10), ex1 = Bytes{}.u16(0x1111), ex2 = Bytes{}.u16(0x2222);
    const std::string text255(255, 'r'), text256(256, 'r');
    auto rubber = [&](const std::string& text) -> IoCase {
        return {"VokDrawRubberString", {buf(0), buf(2), buf(3), buf(4)},
                {{textShape()}, {Bytes{}.str(text)}, {stringAttr}, {ex1}, {ex2}}, 1710, 0,
                cat({stringAttr, ex1, ex2, kPosition, Bytes{}.str(text)})};
    };
    const IoCase cases[] = {
        rubber("AB"),
        rubber(""),      // 77 bytes, the last the terminator
        rubber(text255),  // 56 + 2 + 2 + 16 + 256 = 332 bytes
        refusal("VokDrawRubberString", {buf(0), buf(2), buf(3), buf(4)},
                {{textShape()}, {Bytes{}.str(text256)}, {stringAttr}, {ex1}, {ex2}}),
        refusal("VokDrawRubberString", {buf(0), nul(), buf(2), buf(3)}, {{textShape()}, {Bytes{}.str("AB")}, {ex1}, {ex2}}),
        refusal("VokDrawRubberString", {buf(0), buf(2), nul(), buf(3)}, {{textShape()}, {Bytes{}.str("AB")}, {stringAttr}, {ex2}}),
        refusal("VokDrawRubberString", {buf(0), buf(2), buf(3), nul()}, {{textShape()}, {Bytes{}.str("AB")}, {stringAttr}, {ex1}}),
    };
    for (const IoCase& c : cases) runTextShapeCase(host, c);

    const IoCase badReferences[] = {
        refusal("VokDrawRubberString", {nul(), buf(0), buf(1), buf(2)}, {{stringAttr}, {ex1}, {ex2}}),
        refusal("VokDrawRubberString", {buf(0), buf(1), buf(2), buf(3)}, {{textShape(0)}, {stringAttr}, {ex1}, {ex2}}),
        refusal("VokDrawRubberString", {buf(0), buf(1), buf(2), buf(3)}, {{textShape(1)}, {stringAttr}, {ex1}, {ex2}}),
    };
    for (const IoCase& c : badReferences) runIoCase(host, c);
}
