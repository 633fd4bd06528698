// Element access: where the element index travels, exact record sizes in
// both directions, position form against whole form of a StringShape, the
// text checks, the 32-byte font name field and the string it comes back as.
#include "io_case.h"
#include "export_table.h"
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
        {"VokGetIndex", {slot(7), slot(0x12345678)}, {}, 1200, 7, Bytes{}.u32(0x12345678), patterned()},
        {"VokGetElementType", {slot(kElem)}, {}, 1201, kElem, {}, patterned()},
        {"VokGetElementLayer", {slot(kElem)}, {}, 1202, kElem, {}, patterned()},
        {"VokChangeElementLayer", {slot(kElem), slot(0x12345)}, {}, 1203, kElem, Bytes{0x45, 0x23}, patterned()},
        {"VokDeleteElement", {slot(kElem)}, {}, 1204, kElem, {}, patterned()},
        {"VokGetSubcode", {slot(kElem)}, {}, 1254, kElem, {}, patterned()},
        {"VokChangeSubcode", {slot(kElem), slot(0xABCD8001)}, {}, 1255, kElem, Bytes{0x01, 0x80}, patterned()},
        {"VokChangeStringAttrEx", {slot(kElem), slot(0x10005), slot(0xFFFF)}, {}, 1257, kElem, Bytes{5, 0, 0xFF, 0xFF}, patterned()},
        {"VokGetElementCmdID", {slot(kElem)}, {}, 1259, kElem, {}, patterned()},
        {"VokChangeElementCmdID", {slot(kElem), slot(0x70042)}, {}, 1260, kElem, Bytes{0x42, 0}, patterned()},
        {"VokDeletePolylineInfo", {slot(kElem)}, {}, 1263, kElem, {}, patterned()},
        {"VokAssignLink", {}, {}, 1264, 0, {}, patterned()},
        {"VokFreeLink", {slot(kLink)}, {}, 1265, kLink, {}, patterned()},
        {"VokLinkElement", {slot(kLink), slot(kElem)}, {}, 1266, kLink, Bytes{}.u32(kElem), patterned()},
        {"VokSeekLinkedElement", {slot(kLink), slot(kElem)}, {}, 1267, kLink, Bytes{}.u32(kElem), patterned()},
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, ShapesAndAttributesMoveExactlyTheirRecordSize) {
    const IoCase rows[] = {
        // read: the record goes in and comes back from offset 0
        {"VokGetPointShape", {slot(kElem), out(kPoint, 0)}, {}, 1210, kElem, kPoint, patterned()},
        {"VokGetLineShape", {slot(kElem), out(kLine, 0)}, {}, 1211, kElem, kLine, patterned()},
        {"VokGetCircleShape", {slot(kElem), out(kCircle, 0)}, {}, 1212, kElem, kCircle, patterned()},
        {"VokGetArcShape", {slot(kElem), out(kArc, 0)}, {}, 1213, kElem, kArc, patterned()},
        {"VokGetEllipseShape", {slot(kElem), out(kEllipse, 0)}, {}, 1214, kElem, kEllipse, patterned()},
        {"VokGetEllArcShape", {slot(kElem), out(kEllArc, 0)}, {}, 1215, kElem, kEllArc, patterned()},
        // create: the shape also comes back
        {"VokCreatePoint", {out(kPoint, 0)}, {}, 1220, 0, kPoint, patterned()},
        {"VokCreateLine", {out(kLine, 0)}, {}, 1221, 0, kLine, patterned()},
        {"VokCreateLongLine", {out(kLine, 0)}, {}, 1222, 0, kLine, patterned()},
        {"VokCreateCircle", {out(kCircle, 0)}, {}, 1223, 0, kCircle, patterned()},
        {"VokCreateArc", {out(kArc, 0)}, {}, 1224, 0, kArc, patterned()},
        {"VokCreateEllipse", {out(kEllipse, 0)}, {}, 1225, 0, kEllipse, patterned()},
        {"VokCreateEllArc", {out(kEllArc, 0)}, {}, 1226, 0, kEllArc, patterned()},
        // append: shape then attribute, nothing comes back
        {"VokAppendPoint", {buf(kPoint), buf(kAttr)}, {}, 1230, 0, cat({kPoint, kAttr}), patterned()},
        {"VokAppendLine", {buf(kLine), buf(kAttr)}, {}, 1231, 0, cat({kLine, kAttr}), patterned()},
        {"VokAppendLongLine", {buf(kLine), buf(kAttr)}, {}, 1232, 0, cat({kLine, kAttr}), patterned()},
        {"VokAppendCircle", {buf(kCircle), buf(kAttr)}, {}, 1233, 0, cat({kCircle, kAttr}), patterned()},
        {"VokAppendArc", {buf(kArc), buf(kAttr)}, {}, 1234, 0, cat({kArc, kAttr}), patterned()},
        {"VokAppendEllipse", {buf(kEllipse), buf(kAttr)}, {}, 1235, 0, cat({kEllipse, kAttr}), patterned()},
        {"VokAppendEllArc", {buf(kEllArc), buf(kAttr)}, {}, 1236, 0, cat({kEllArc, kAttr}), patterned()},
        // change: element as lParam, nothing comes back
        {"VokChangePoint", {slot(kElem), buf(kPoint)}, {}, 1240, kElem, kPoint, patterned()},
        {"VokChangeLine", {slot(kElem), buf(kLine)}, {}, 1241, kElem, kLine, patterned()},
        {"VokChangeLongLine", {slot(kElem), buf(kLine)}, {}, 1242, kElem, kLine, patterned()},
        {"VokChangeCircle", {slot(kElem), buf(kCircle)}, {}, 1243, kElem, kCircle, patterned()},
        {"VokChangeArc", {slot(kElem), buf(kArc)}, {}, 1244, kElem, kArc, patterned()},
        {"VokChangeEllipse", {slot(kElem), buf(kEllipse)}, {}, 1245, kElem, kEllipse, patterned()},
        {"VokChangeEllArc", {slot(kElem), buf(kEllArc)}, {}, 1246, kElem, kEllArc, patterned()},
        // attributes, text box, polyline information
        {"VokGetElementAttr", {slot(kElem), out(kAttr, 0)}, {}, 1250, kElem, kAttr, patterned()},
        {"VokGetStringAttr", {slot(kElem), out(kStrAttr, 0)}, {}, 1251, kElem, kStrAttr, patterned()},
        {"VokChangeElementAttr", {slot(kElem), buf(kAttr)}, {}, 1252, kElem, kAttr, patterned()},
        {"VokChangeStringAttr", {slot(kElem), buf(kStrAttr)}, {}, 1253, kElem, kStrAttr, patterned()},
        {"VokGetStringAttrEx", {slot(kElem), out(Bytes{1, 2}, 0), out(Bytes{3, 4}, 2)}, {}, 1256, kElem, Bytes{1, 2, 3, 4}, patterned()},
        {"VokGetStringSBox", {slot(kElem), out(kSBox, 0)}, {}, 1258, kElem, kSBox, patterned()},
        {"VokAppendPolylineInfo", {slot(kElem), buf(kInfo)}, {}, 1261, kElem, kInfo, patterned()},
        {"VokGetPolylineInfo", {slot(kElem), out(kInfo, 0)}, {}, 1262, kElem, kInfo, patterned()},
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
        {"VokGetBSplineShapeIF",
         {slot(kElem), out(kHeader, 4), out(kValues1, 32), out(kPoints, 912), out(kValues2, 2672)}, {},
         1217, 0, cat({Bytes{}.u32(kElem), kSpline}), patterned()},
        {"VokChangeBSplineIF",
         {slot(kElem), out(kHeader, 4), out(kValues1, 32), out(kPoints, 912), out(kValues2, 2672)}, {},
         1248, 0, cat({Bytes{}.u32(kElem), kSpline}), patterned()},
        {"VokCreateBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2)}, {}, 1228, 0, kSpline, patterned()},
        {"VokAppendBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2), buf(kAttr)}, {}, 1238, 0,
         cat({kSpline, kAttr}), patterned()},
        refusal("VokGetBSplineShapeIF", {slot(kElem), out(kHeader, 4), out(kValues1, 32), nul(), out(kValues2, 2672)}),
        refusal("VokAppendBSplineIF", {buf(kHeader), buf(kValues1), buf(kPoints), buf(kValues2), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(ElementAccess, TextElementsTravelInPositionFormWithCheckedText) {
    const IoCase rows[] = {
        {"VokCreateString", {shape(kPos, "abc")}, {}, 1227, 0, cat({kPos, str("abc")}), patterned()},
        {"VokCreateString", {shape(kPos, "")}, {}, 1227, 0, cat({kPos, Bytes{0}}), patterned()},
        {"VokCreateString", {shape(kPos, kText255)}, {}, 1227, 0, cat({kPos, str(kText255)}), patterned()},
        refusal("VokCreateString", {shape(kPos, kText256)}),
        refusal("VokCreateString", {shape(kPos, std::nullopt)}),
        refusal("VokCreateString", {nul()}),
        {"VokAppendString", {shape(kPos, "abc"), buf(kStrAttr)}, {}, 1237, 0, cat({kPos, kStrAttr, str("abc")}), patterned()},
        refusal("VokAppendString", {shape(kPos, kText256), buf(kStrAttr)}),
        refusal("VokAppendString", {shape(kPos, "abc"), nul()}),
        {"VokChangeString", {slot(kElem), shape(kPos, kText255)}, {}, 1247, kElem, cat({kPos, str(kText255)}), patterned()},
        refusal("VokChangeString", {slot(kElem), shape(kPos, kText256)}),
        refusal("VokChangeString", {slot(kElem), shape(kPos, std::nullopt)}),
        // lParam 1; both extended values cut to 16 bits; the 32-byte font field before the text
        {"VokAppendStringEx", {shape(kPos, "abc"), buf(kStrAttr), slot(0x10007), slot(0xFFFE), txt("MSG")}, {}, 1239, 1,
         cat({kPos, kStrAttr, Bytes{7, 0, 0xFE, 0xFF}, font("MSG"), str("abc")}), patterned()},
        {"VokAppendStringEx", {shape(kPos, ""), buf(kStrAttr), slot(1), slot(2), txt(std::string(40, 'F'))}, {}, 1239, 1,
         cat({kPos, kStrAttr, Bytes{1, 0, 2, 0}, font(std::string(31, 'F')), Bytes{0}}), patterned()},
        {"VokAppendStringEx", {shape(kPos, "abc"), buf(kStrAttr), slot(1), slot(2), txt("")}, {}, 1239, 1,
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
        {"VokChangeStringFont", {slot(kElem), txt("Mincho")}, {}, 1269, kElem, font("Mincho"), patterned()},
        {"VokChangeStringFont", {slot(kElem), txt(std::string(31, 'G'))}, {}, 1269, kElem, font(std::string(31, 'G')), patterned()},
        {"VokChangeStringFont", {slot(kElem), txt(std::string(32, 'G'))}, {}, 1269, kElem, font(std::string(31, 'G')), patterned()},
        // byte 31 would be the first half of 表 (95 5C in code page 932): cut before it
        {"VokChangeStringFont", {slot(kElem), txt(std::string(30, 'G') + "\x95\x5C")}, {}, 1269, kElem, font(std::string(30, 'G')), patterned()},
        {"VokChangeStringFont", {slot(kElem), txt(std::string(29, 'G') + "\x95\x5C")}, {}, 1269, kElem, font(std::string(29, 'G') + "\x95\x5C"), patterned()},
        {"VokChangeStringFont", {slot(kElem), txt(std::string(29, 'G') + "\xB6\x95\x5C")}, {}, 1269, kElem, font(std::string(29, 'G') + "\xB6"), patterned()},
        refusal("VokChangeStringFont", {slot(kElem), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

// Whole form: 20 bytes with the text reference, then all 256 bytes of the
// caller's buffer (not just the text); both come back from their places.
TEST_F(ElementAccess, StringShapeIsReadInWholeFormWithA256ByteBuffer) {
    std::vector<uint8_t> buffer(256 + kGuardSize, kGuardByte);
    std::memcpy(buffer.data(), "abc", 4);
    std::fill(buffer.begin() + 4, buffer.begin() + 256, 0x5A);
    const std::vector<uint8_t> sentBuffer(buffer.begin(), buffer.begin() + 256);
    struct {
        StringShape shape;
        uint8_t guard[kGuardSize];
    } caller;
    std::memcpy(&caller.shape.position, kPos.b.data(), 16);
    caller.shape.text = reinterpret_cast<char*>(buffer.data());
    std::memset(caller.guard, kGuardByte, kGuardSize);

    const Bytes pattern = hostPattern(400);
    // The host fills position and text and leaves the reference bytes 16-19 alone.
    host.reply(Reply{kAnswer}.write(0, Bytes{}.raw(pattern.b.data(), 16)).write(20, Bytes{}.raw(&pattern.b[20], 300)));
    const CallResult r = host.call("VokGetStringShape", Slots{}.u32(kElem).ptr(&caller.shape));

    const uint32_t reference = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer.data()));
    expectRequest(host.only(), 1216, kElem, cat({kPos, Bytes{}.u32(reference), Bytes{}.raw(sentBuffer.data(), 256)}));
    EXPECT_EQ(r.eax, kAnswer);
    EXPECT_EQ(std::memcmp(&caller.shape.position, pattern.b.data(), 16), 0);
    EXPECT_EQ(caller.shape.text, reinterpret_cast<char*>(buffer.data()));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 256, pattern.b.begin() + 20));
    EXPECT_TRUE(std::all_of(buffer.begin() + 256, buffer.end(), [](uint8_t b) { return b == kGuardByte; }));
    EXPECT_TRUE(std::all_of(std::begin(caller.guard), std::end(caller.guard), [](uint8_t b) { return b == kGuardByte; }));
}

namespace {
struct OwnedBstr {
    explicit OwnedBstr(uint32_t raw) : s(reinterpret_cast<BSTR>(static_cast<uintptr_t>(raw))) {}
    ~OwnedBstr() { ::SysFreeString(s); }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    std::string bytes() const { return std::string(reinterpret_cast<const char*>(s), ::SysStringByteLen(s)); }
    BSTR s;
};
}  // namespace

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
        const OwnedBstr result(host.call("VokGetStringFont", {kElem}).eax);
        expectRequest(host.only(), 1268, kElem, Bytes{}.fill(0, 32));
        ASSERT_NE(result.s, nullptr);
        EXPECT_EQ(result.bytes(), row.expected);
    }
}

TEST(ElementAccessUnbound, FailedFontQueryStillGivesA32ByteString) {
    RecordingHost host;
    host.unbind();
    const OwnedBstr result(host.call("VokGetStringFont", {kElem}).eax);
    EXPECT_TRUE(host.requests().empty());
    ASSERT_NE(result.s, nullptr);
    EXPECT_EQ(result.bytes(), std::string(32, '\0'));
}
