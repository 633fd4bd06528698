// Element access: where the element index travels, exact record sizes in
// both directions, position form against whole form of a StringShape, the
// text checks, the 32-byte font name field and the string it comes back as.
#include "rows.h"
#include "kavlink.h"

#include <cstring>

using namespace kavtest;

namespace {

constexpr uint32_t kElem = 0x80000011;  // negative: travels unchanged
constexpr uint32_t kLink = 9;

const Bytes kPoint = seq(0x10, 16), kLine = seq(0x20, 32), kCircle = seq(0x30, 24), kArc = seq(0x40, 44);
const Bytes kEllipse = seq(0x50, 40), kEllArc = seq(0x60, 60);
const Bytes kAttr = seq(0xB0, 8), kStrAttr = seq(0xC0, 56), kSBox = seq(0xD0, 40), kInfo = seq(0xE0, 6);
const Bytes kPos = seq(0x01, 16);
const Bytes kHeader = seq(0x11, 28), kValues1 = seq(0x22, 880), kPoints = seq(0x33, 1760), kValues2 = seq(0x44, 880);
const Bytes kSpline = cat({kHeader, kValues1, kPoints, kValues2});  // 3548 bytes
const std::string kText255(255, 't'), kText256(256, 't');

// The font name field as it must travel: the name, its zero, zeros behind.
Bytes font(const std::string& name) { return Bytes{}.str(name).fill(0, 31 - name.size()); }
Bytes str(const std::string& s) { return Bytes{}.str(s); }

}  // namespace

using ElementAccess = FamilyTest;

TEST_F(ElementAccess, IndexTypeLayerSubcodeLinks) {
    const IoCase rows[] = {
        IoCase{"VokGetIndex", {slot(7), slot(0x12345678)}, {}, 1200, 7, Bytes{}.u32(0x12345678), patterned()},
        IoCase{"VokGetElementType", {slot(kElem)}, {}, 1201, kElem, {}, patterned()},
        IoCase{"VokGetElementLayer", {slot(kElem)}, {}, 1202, kElem, {}, patterned()},
        IoCase{"VokChangeElementLayer", {slot(kElem), slot(0x12345)}, {}, 1203, kElem, Bytes{0x45, 0x23}, patterned()},
        IoCase{"VokDeleteElement", {slot(kElem)}, {}, 1204, kElem, {}, patterned()},
        IoCase{"VokGetSubcode", {slot(kElem)}, {}, 1254, kElem, {}, patterned()},
        IoCase{"VokChangeSubcode", {slot(kElem), slot(0xABCD8001)}, {}, 1255, kElem, Bytes{0x01, 0x80}, patterned()},
        IoCase{"VokChangeStringAttrEx", {slot(kElem), slot(0x10005), slot(0xFFFF)}, {}, 1257, kElem, Bytes{5, 0, 0xFF, 0xFF}, patterned()},
        IoCase{"VokGetElementCmdID", {slot(kElem)}, {}, 1259, kElem, {}, patterned()},
        IoCase{"VokChangeElementCmdID", {slot(kElem), slot(0x70042)}, {}, 1260, kElem, Bytes{0x42, 0}, patterned()},
        IoCase{"VokDeletePolylineInfo", {slot(kElem)}, {}, 1263, kElem, {}, patterned()},
        IoCase{"VokAssignLink", {}, {}, 1264, 0, {}, patterned()},
        IoCase{"VokFreeLink", {slot(kLink)}, {}, 1265, kLink, {}, patterned()},
        IoCase{"VokLinkElement", {slot(kLink), slot(kElem)}, {}, 1266, kLink, Bytes{}.u32(kElem), patterned()},
        IoCase{"VokSeekLinkedElement", {slot(kLink), slot(kElem)}, {}, 1267, kLink, Bytes{}.u32(kElem), patterned()},
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, ShapesAndAttributesMoveExactlyTheirRecordSize) {
    const IoCase rows[] = {
        // read: the record goes in and comes back from offset 0
        IoCase{"VokGetPointShape", {slot(kElem), out(kPoint, 0)}, {}, 1210, kElem, kPoint, patterned()},
        IoCase{"VokGetLineShape", {slot(kElem), out(kLine, 0)}, {}, 1211, kElem, kLine, patterned()},
        IoCase{"VokGetCircleShape", {slot(kElem), out(kCircle, 0)}, {}, 1212, kElem, kCircle, patterned()},
        IoCase{"VokGetArcShape", {slot(kElem), out(kArc, 0)}, {}, 1213, kElem, kArc, patterned()},
        IoCase{"VokGetEllipseShape", {slot(kElem), out(kEllipse, 0)}, {}, 1214, kElem, kEllipse, patterned()},
        IoCase{"VokGetEllArcShape", {slot(kElem), out(kEllArc, 0)}, {}, 1215, kElem, kEllArc, patterned()},
        // create: the shape also comes back
        IoCase{"VokCreatePoint", {out(kPoint, 0)}, {}, 1220, 0, kPoint, patterned()},
        IoCase{"VokCreateLine", {out(kLine, 0)}, {}, 1221, 0, kLine, patterned()},
        IoCase{"VokCreateLongLine", {out(kLine, 0)}, {}, 1222, 0, kLine, patterned()},
        IoCase{"VokCreateCircle", {out(kCircle, 0)}, {}, 1223, 0, kCircle, patterned()},
        IoCase{"VokCreateArc", {out(kArc, 0)}, {}, 1224, 0, kArc, patterned()},
        IoCase{"VokCreateEllipse", {out(kEllipse, 0)}, {}, 1225, 0, kEllipse, patterned()},
        IoCase{"VokCreateEllArc", {out(kEllArc, 0)}, {}, 1226, 0, kEllArc, patterned()},
        // append: shape then attribute, nothing comes back
        IoCase{"VokAppendPoint", {buf(kPoint), buf(kAttr)}, {}, 1230, 0, cat({kPoint, kAttr}), patterned()},
        IoCase{"VokAppendLine", {buf(kLine), buf(kAttr)}, {}, 1231, 0, cat({kLine, kAttr}), patterned()},
        IoCase{"VokAppendLongLine", {buf(kLine), buf(kAttr)}, {}, 1232, 0, cat({kLine, kAttr}), patterned()},
        IoCase{"VokAppendCircle", {buf(kCircle), buf(kAttr)}, {}, 1233, 0, cat({kCircle, kAttr}), patterned()},
        IoCase{"VokAppendArc", {buf(kArc), buf(kAttr)}, {}, 1234, 0, cat({kArc, kAttr}), patterned()},
        IoCase{"VokAppendEllipse", {buf(kEllipse), buf(kAttr)}, {}, 1235, 0, cat({kEllipse, kAttr}), patterned()},
        IoCase{"VokAppendEllArc", {buf(kEllArc), buf(kAttr)}, {}, 1236, 0, cat({kEllArc, kAttr}), patterned()},
        // change: element as lParam, nothing comes back
        IoCase{"VokChangePoint", {slot(kElem), buf(kPoint)}, {}, 1240, kElem, kPoint, patterned()},
        IoCase{"VokChangeLine", {slot(kElem), buf(kLine)}, {}, 1241, kElem, kLine, patterned()},
        IoCase{"VokChangeLongLine", {slot(kElem), buf(kLine)}, {}, 1242, kElem, kLine, patterned()},
        IoCase{"VokChangeCircle", {slot(kElem), buf(kCircle)}, {}, 1243, kElem, kCircle, patterned()},
        IoCase{"VokChangeArc", {slot(kElem), buf(kArc)}, {}, 1244, kElem, kArc, patterned()},
        IoCase{"VokChangeEllipse", {slot(kElem), buf(kEllipse)}, {}, 1245, kElem, kEllipse, patterned()},
        IoCase{"VokChangeEllArc", {slot(kElem), buf(kEllArc)}, {}, 1246, kElem, kEllArc, patterned()},
        // attributes, text box, polyline information
        IoCase{"VokGetElementAttr", {slot(kElem), out(kAttr, 0)}, {}, 1250, kElem, kAttr, patterned()},
        IoCase{"VokGetStringAttr", {slot(kElem), out(kStrAttr, 0)}, {}, 1251, kElem, kStrAttr, patterned()},
        IoCase{"VokChangeElementAttr", {slot(kElem), buf(kAttr)}, {}, 1252, kElem, kAttr, patterned()},
        IoCase{"VokChangeStringAttr", {slot(kElem), buf(kStrAttr)}, {}, 1253, kElem, kStrAttr, patterned()},
        IoCase{"VokGetStringAttrEx", {slot(kElem), out(Bytes{1, 2}, 0), out(Bytes{3, 4}, 2)}, {}, 1256, kElem, Bytes{1, 2, 3, 4}, patterned()},
        IoCase{"VokGetStringSBox", {slot(kElem), out(kSBox, 0)}, {}, 1258, kElem, kSBox, patterned()},
        IoCase{"VokAppendPolylineInfo", {slot(kElem), buf(kInfo)}, {}, 1261, kElem, kInfo, patterned()},
        IoCase{"VokGetPolylineInfo", {slot(kElem), out(kInfo, 0)}, {}, 1262, kElem, kInfo, patterned()},
        // a record the export would have to read or fill is missing
        refusal("VokGetArcShape", {slot(kElem), nul()}),
        refusal("VokCreateEllArc", {nul()}),
        refusal("VokAppendArc", {buf(kArc), nul()}),
        refusal("VokChangeCircle", {slot(kElem), nul()}),
        refusal("VokGetStringAttrEx", {slot(kElem), out(Bytes{1, 2}, 0), nul()}),
        refusal("VokAppendPolylineInfo", {slot(kElem), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, BSplinesMoveAllFourBlocks) {
    const IoCase rows[] = {
        IoCase{"VokGetBSplineShapeIF",
         {slot(kElem), out(kHeader, 4), out(kValues1, 32), out(kPoints, 912), out(kValues2, 2672)}, {},
         1217, 0, cat({Bytes{}.u32(kElem), kSpline}), patterned()},
        IoCase{"VokChangeBSplineIF",
         {slot(kElem), out(kHeader, 4), out(kValues1, 32), out(kPoints, 912), out(kValues2, 2672)}, {},
         1248, 0, cat({Bytes{}.u32(kElem), kSpline}), patterned()},
        IoCase{"VokCreateBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2)}, {}, 1228, 0, kSpline, patterned()},
        IoCase{"VokAppendBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2), buf(kAttr)}, {}, 1238, 0,
         cat({kSpline, kAttr}), patterned()},
        refusal("VokGetBSplineShapeIF", {slot(kElem), out(kHeader, 4), out(kValues1, 32), nul(), out(kValues2, 2672)}),
        refusal("VokAppendBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, TextElementsTravelInPositionFormWithCheckedText) {
    const IoCase rows[] = {
        IoCase{"VokCreateString", {shape(kPos, "abc")}, {}, 1227, 0, cat({kPos, str("abc")}), patterned()},
        IoCase{"VokCreateString", {shape(kPos, "")}, {}, 1227, 0, cat({kPos, Bytes{0}}), patterned()},
        IoCase{"VokCreateString", {shape(kPos, kText255)}, {}, 1227, 0, cat({kPos, str(kText255)}), patterned()},
        refusal("VokCreateString", {shape(kPos, kText256)}),
        refusal("VokCreateString", {shape(kPos, std::nullopt)}),
        refusal("VokCreateString", {nul()}),
        IoCase{"VokAppendString", {shape(kPos, "abc"), buf(kStrAttr)}, {}, 1237, 0, cat({kPos, kStrAttr, str("abc")}), patterned()},
        refusal("VokAppendString", {shape(kPos, kText256), buf(kStrAttr)}),
        refusal("VokAppendString", {shape(kPos, "abc"), nul()}),
        IoCase{"VokChangeString", {slot(kElem), shape(kPos, kText255)}, {}, 1247, kElem, cat({kPos, str(kText255)}), patterned()},
        refusal("VokChangeString", {slot(kElem), shape(kPos, kText256)}),
        refusal("VokChangeString", {slot(kElem), shape(kPos, std::nullopt)}),
        // lParam 1; both extended values cut to 16 bits; the 32-byte font field before the text
        IoCase{"VokAppendStringEx", {shape(kPos, "abc"), buf(kStrAttr), slot(0x10007), slot(0xFFFE), txt("MSG")}, {}, 1239, 1,
         cat({kPos, kStrAttr, Bytes{7, 0, 0xFE, 0xFF}, font("MSG"), str("abc")}), patterned()},
        IoCase{"VokAppendStringEx", {shape(kPos, ""), buf(kStrAttr), slot(1), slot(2), txt(std::string(40, 'F'))}, {}, 1239, 1,
         cat({kPos, kStrAttr, Bytes{1, 0, 2, 0}, font(std::string(31, 'F')), Bytes{0}}), patterned()},
        IoCase{"VokAppendStringEx", {shape(kPos, "abc"), buf(kStrAttr), slot(1), slot(2), txt("")}, {}, 1239, 1,
         cat({kPos, kStrAttr, Bytes{1, 0, 2, 0}, font(""), str("abc")}), patterned()},
        refusal("VokAppendStringEx", {shape(kPos, "abc"), buf(kStrAttr), slot(1), slot(2), nul()}),
        refusal("VokAppendStringEx", {shape(kPos, kText256), buf(kStrAttr), slot(1), slot(2), txt("MSG")}),
        refusal("VokAppendStringEx", {shape(kPos, std::nullopt), buf(kStrAttr), slot(1), slot(2), txt("MSG")}),
        // reading needs a text buffer
        refusal("VokGetStringShape", {slot(kElem), shape(kPos, std::nullopt)}),
        refusal("VokGetStringShape", {slot(kElem), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, FontNameFieldIsAlways32BytesEndingInZero) {
    const IoCase rows[] = {
        IoCase{"VokChangeStringFont", {slot(kElem), txt("Mincho")}, {}, 1269, kElem, font("Mincho"), patterned()},
        IoCase{"VokChangeStringFont", {slot(kElem), txt(std::string(31, 'G'))}, {}, 1269, kElem, font(std::string(31, 'G')), patterned()},
        IoCase{"VokChangeStringFont", {slot(kElem), txt(std::string(32, 'G'))}, {}, 1269, kElem, font(std::string(31, 'G')), patterned()},
        // byte 31 would be the first half of 表 (95 5C in code page 932): cut before it
        IoCase{"VokChangeStringFont", {slot(kElem), txt(std::string(30, 'G') + "\x95\x5C")}, {}, 1269, kElem, font(std::string(30, 'G')), patterned()},
        IoCase{"VokChangeStringFont", {slot(kElem), txt(std::string(29, 'G') + "\x95\x5C")}, {}, 1269, kElem, font(std::string(29, 'G') + "\x95\x5C"), patterned()},
        IoCase{"VokChangeStringFont", {slot(kElem), txt(std::string(29, 'G') + "\xB6\x95\x5C")}, {}, 1269, kElem, font(std::string(29, 'G') + "\xB6"), patterned()},
        refusal("VokChangeStringFont", {slot(kElem), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

// Whole form: 20 bytes with the text reference, then all 256 bytes of the
// caller's buffer (not just the text); both come back from their places.
TEST_F(ElementAccess, StringShapeIsReadInWholeFormWithA256ByteBuffer) {
    CallerMemory memory;
    const Bytes sent = Bytes{}.str("abc").fill(0x5A, 252);  // all 256 bytes travel
    uint8_t* buffer = memory.place(sent.b);
    const Bytes reference = Bytes{}.u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer)));
    uint8_t* shape = memory.place(cat({kPos, reference}).b);

    const Bytes pattern = hostPattern(400);
    // The host fills position and text and leaves the reference bytes 16-19 alone.
    host.reply(Reply{kAnswer}.write(0, Bytes{}.raw(pattern.b.data(), 16)).write(20, Bytes{}.raw(&pattern.b[20], 300)));
    const CallResult r = host.call("VokGetStringShape", Slots{}.u32(kElem).ptr(shape));

    expectRequest(host.only(), 1216, kElem, cat({kPos, reference, sent}));
    EXPECT_EQ(r.eax, kAnswer);
    // The position and all 256 bytes come back; the reference and both guards stay.
    EXPECT_EQ(firstDifference(CallerMemory::guarded(cat({Bytes{}.raw(pattern.b.data(), 16), reference}).b), memory.now(shape)), "");
    EXPECT_EQ(firstDifference(CallerMemory::guarded(Bytes{}.raw(&pattern.b[20], 256).b), memory.now(buffer)), "");
}

TEST_F(ElementAccess, StringFontComesBackAsANewByteString) {
    struct Row {
        const char* what;
        uint32_t answer;
        Bytes written;  // what the host leaves in the font field
        std::string expected;
    } rows[] = {
        {"name", 1, str("Gothic").fill('z', 10), "Gothic"},
        {"31-byte name", 1, str(std::string(31, 'F')), std::string(31, 'F')},
        {"field without zero", 0xFFFFFFFF, Bytes{}.fill('G', 32).fill('H', 8), std::string(32, 'G')},
        {"host failed", 0, str("Gothic"), std::string(32, '\0')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host.clear();
        host.reply(Reply{row.answer}.write(0, row.written));
        const kav::UniqueBstr result = host.call("VokGetStringFont", {kElem}).ownedBstr();
        expectRequest(host.only(), 1268, kElem, Bytes{}.fill(0, 32));
        ASSERT_TRUE(result);
        EXPECT_EQ(bytesOf(result.get()), row.expected);
    }
}

TEST(ElementAccessUnbound, FailedFontQueryStillGivesA32ByteString) {
    RecordingHost host;
    host.unbind();
    const kav::UniqueBstr result = host.call("VokGetStringFont", {kElem}).ownedBstr();
    EXPECT_TRUE(host.requests().empty());
    ASSERT_TRUE(result);
    EXPECT_EQ(bytesOf(result.get()), std::string(32, '\0'));
}
