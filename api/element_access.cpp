// Element access: element indices, types and layers, shapes created, appended,
// read and changed, attributes, text fonts, subcodes, command IDs, polyline
// information and links.  The element index travels as lParam, except for
// the two B-spline functions that carry it as the first 4 payload bytes.
// Only the text functions do work of their own: the text check and the
// 32-byte font name field.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

#include <cstddef>

using namespace kav::wire;

namespace {

// A text element's text travels with its terminator, at most 256 bytes.
constexpr uint32_t kElementTextMax = 256;
// Text buffer behind a StringShape that the host fills: moved whole.
constexpr uint32_t kTextBufferSize = 256;
// Offset of the text reference in a StringShape.
constexpr size_t kTextField = offsetof(StringShape, text);
static_assert(kTextField == 16, "text reference behind the 16 position bytes");

// Position form of a StringShape: its first 16 bytes.
Seg position(const StringShape* shape) { return shape ? rec(&shape->position) : refused(); }

// The text of a StringShape that creates, appends or changes a text element:
// refused when the reference is null or unreadable, or when the text with its
// terminator needs more than 256 bytes.
Seg elementText(const StringShape* shape) {
    if (shape == nullptr) return refused();
    const char* s = textReference(shape, kTextField);
    const int64_t length = textLength(s, kElementTextMax);
    if (length < 0 || length + 1 > kElementTextMax) return refused();
    return bytes(s, static_cast<uint64_t>(length) + 1);
}

// The caller's text buffer of a StringShape that is read back: 256 bytes.
Seg textBuffer(const StringShape* shape) {
    return shape ? bytes(textReference(shape, kTextField), kTextBufferSize) : refused();
}

// The library's own font name field: 32 bytes, a name of at most 31 bytes and
// its zero; every byte behind the name is zero.
struct FontField {
    char name[32] = {};
};

// Fills the field from the caller's font name and gives the whole field as a
// segment.  A longer name is cut to 31 bytes, or to 30 where byte 31 would be
// the first half of a double-byte character; a null or unreadable name is
// refused.
Seg fontField(FontField& field, const char* name) {
    constexpr uint32_t limit = sizeof field.name - 1;
    const int64_t length = textLength(name, limit);
    if (length < 0 || !kav::guardedCopy(field.name, name, static_cast<uint32_t>(length))) return refused();
    if (length == limit) field.name[kav::wholeCharacterLength(field.name, limit)] = '\0';
    return bytes(field.name, sizeof field.name);
}

}  // namespace

// ---- index, type, layer, deletion --------------------------------------------
int32_t KAVAPI VokGetIndex(int32_t handle, int32_t number) { return send(1200, handle, val(number)); }
int32_t KAVAPI VokGetElementType(int32_t element) { return send(1201, element); }
int32_t KAVAPI VokGetElementLayer(int32_t element) { return send(1202, element); }
int32_t KAVAPI VokChangeElementLayer(int32_t element, int16_t layer) { return send(1203, element, val(layer)); }
int32_t KAVAPI VokDeleteElement(int32_t element) { return send(1204, element); }

// ---- reading shapes -----------------------------------------------------------
int32_t KAVAPI VokGetPointShape(int32_t element, PointShape* shape) { return exchange(1210, element, rec(shape)); }
int32_t KAVAPI VokGetLineShape(int32_t element, LineShape* shape) { return exchange(1211, element, rec(shape)); }
int32_t KAVAPI VokGetCircleShape(int32_t element, CircleShape* shape) { return exchange(1212, element, rec(shape)); }
int32_t KAVAPI VokGetArcShape(int32_t element, ArcShape* shape) { return exchange(1213, element, rec(shape)); }
int32_t KAVAPI VokGetEllipseShape(int32_t element, EllipseShape* shape) { return exchange(1214, element, rec(shape)); }
int32_t KAVAPI VokGetEllArcShape(int32_t element, EllArcShape* shape) { return exchange(1215, element, rec(shape)); }

// Whole form (20 bytes, the text reference included), then the 256 bytes of
// the caller's text buffer; both come back.
int32_t KAVAPI VokGetStringShape(int32_t element, StringShape* shape) {
    return scatter(1216, element, rec(shape), textBuffer(shape));
}

int32_t KAVAPI VokGetBSplineShapeIF(int32_t element, BSplineHeader* header, BSplineValues* values1,
                                    BSplinePoints* points, BSplineValues* values2) {
    return scatter(1217, 0, val(element), rec(header), rec(values1), rec(points), rec(values2));
}

// ---- creating elements: the shape comes back from the payload area ------------
int32_t KAVAPI VokCreatePoint(PointShape* shape) { return exchange(1220, 0, rec(shape)); }
int32_t KAVAPI VokCreateLine(LineShape* shape) { return exchange(1221, 0, rec(shape)); }
int32_t KAVAPI VokCreateLongLine(LineShape* shape) { return exchange(1222, 0, rec(shape)); }
int32_t KAVAPI VokCreateCircle(CircleShape* shape) { return exchange(1223, 0, rec(shape)); }
int32_t KAVAPI VokCreateArc(ArcShape* shape) { return exchange(1224, 0, rec(shape)); }
int32_t KAVAPI VokCreateEllipse(EllipseShape* shape) { return exchange(1225, 0, rec(shape)); }
int32_t KAVAPI VokCreateEllArc(EllArcShape* shape) { return exchange(1226, 0, rec(shape)); }

int32_t KAVAPI VokCreateString(const StringShape* shape) {
    return gather(1227, 0, position(shape), elementText(shape));
}

int32_t KAVAPI VokCreateBSplineIF(const BSplineHeader* header, const BSplineValues* values1,
                                  const BSplinePoints* points, const BSplineValues* values2) {
    return gather(1228, 0, rec(header), rec(values1), rec(points), rec(values2));
}

// ---- appending elements with explicit attributes --------------------------------
int32_t KAVAPI VokAppendPoint(const PointShape* shape, const ElementAttr* attr) {
    return gather(1230, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendLine(const LineShape* shape, const ElementAttr* attr) {
    return gather(1231, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendLongLine(const LineShape* shape, const ElementAttr* attr) {
    return gather(1232, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendCircle(const CircleShape* shape, const ElementAttr* attr) {
    return gather(1233, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendArc(const ArcShape* shape, const ElementAttr* attr) {
    return gather(1234, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendEllipse(const EllipseShape* shape, const ElementAttr* attr) {
    return gather(1235, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokAppendEllArc(const EllArcShape* shape, const ElementAttr* attr) {
    return gather(1236, 0, rec(shape), rec(attr));
}

int32_t KAVAPI VokAppendString(const StringShape* shape, const StringAttr* stringAttr) {
    return gather(1237, 0, position(shape), rec(stringAttr), elementText(shape));
}

int32_t KAVAPI VokAppendBSplineIF(const BSplineHeader* header, const BSplineValues* values1, const BSplinePoints* points,
                                  const BSplineValues* values2, const ElementAttr* attr) {
    return gather(1238, 0, rec(header), rec(values1), rec(points), rec(values2), rec(attr));
}

// lParam is the constant 1.  The font name field is filled before the text is
// checked.
int32_t KAVAPI VokAppendStringEx(const StringShape* shape, const StringAttr* stringAttr, int16_t exValue1,
                                 int16_t exValue2, const char* fontName) {
    FontField field;
    const Seg font = fontField(field, fontName);
    return gather(1239, 1, position(shape), rec(stringAttr), val(exValue1), val(exValue2), font, elementText(shape));
}

// ---- changing shapes ------------------------------------------------------------
int32_t KAVAPI VokChangePoint(int32_t element, const PointShape* shape) { return send(1240, element, rec(shape)); }
int32_t KAVAPI VokChangeLine(int32_t element, const LineShape* shape) { return send(1241, element, rec(shape)); }
int32_t KAVAPI VokChangeLongLine(int32_t element, const LineShape* shape) { return send(1242, element, rec(shape)); }
int32_t KAVAPI VokChangeCircle(int32_t element, const CircleShape* shape) { return send(1243, element, rec(shape)); }
int32_t KAVAPI VokChangeArc(int32_t element, const ArcShape* shape) { return send(1244, element, rec(shape)); }
int32_t KAVAPI VokChangeEllipse(int32_t element, const EllipseShape* shape) { return send(1245, element, rec(shape)); }
int32_t KAVAPI VokChangeEllArc(int32_t element, const EllArcShape* shape) { return send(1246, element, rec(shape)); }

int32_t KAVAPI VokChangeString(int32_t element, const StringShape* shape) {
    return gather(1247, element, position(shape), elementText(shape));
}

// Unlike the other change functions the blocks come back.
int32_t KAVAPI VokChangeBSplineIF(int32_t element, BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                  BSplineValues* values2) {
    return scatter(1248, 0, val(element), rec(header), rec(values1), rec(points), rec(values2));
}

// ---- attributes, subcodes, command IDs ------------------------------------------
int32_t KAVAPI VokGetElementAttr(int32_t element, ElementAttr* attr) { return exchange(1250, element, rec(attr)); }
int32_t KAVAPI VokGetStringAttr(int32_t element, StringAttr* stringAttr) {
    return exchange(1251, element, rec(stringAttr));
}
int32_t KAVAPI VokChangeElementAttr(int32_t element, const ElementAttr* attr) { return send(1252, element, rec(attr)); }
int32_t KAVAPI VokChangeStringAttr(int32_t element, const StringAttr* stringAttr) {
    return send(1253, element, rec(stringAttr));
}
int32_t KAVAPI VokGetSubcode(int32_t element) { return send(1254, element); }
int32_t KAVAPI VokChangeSubcode(int32_t element, int16_t subcode) { return send(1255, element, val(subcode)); }

int32_t KAVAPI VokGetStringAttrEx(int32_t element, int16_t* exValue1, int16_t* exValue2) {
    return scatter(1256, element, rec(exValue1), rec(exValue2));
}
int32_t KAVAPI VokChangeStringAttrEx(int32_t element, int16_t exValue1, int16_t exValue2) {
    return gather(1257, element, val(exValue1), val(exValue2));
}

int32_t KAVAPI VokGetStringSBox(int32_t element, StringSBox* box) { return exchange(1258, element, rec(box)); }
int32_t KAVAPI VokGetElementCmdID(int32_t element) { return send(1259, element); }
int32_t KAVAPI VokChangeElementCmdID(int32_t element, int16_t cmdId) { return send(1260, element, val(cmdId)); }

// ---- polyline information -------------------------------------------------------
int32_t KAVAPI VokAppendPolylineInfo(int32_t element, const PolylineInfo* info) {
    return send(1261, element, rec(info));
}
int32_t KAVAPI VokGetPolylineInfo(int32_t element, PolylineInfo* info) { return exchange(1262, element, rec(info)); }
int32_t KAVAPI VokDeletePolylineInfo(int32_t element) { return send(1263, element); }

// ---- links ------------------------------------------------------------------------
int32_t KAVAPI VokAssignLink() { return send(1264, 0); }
int32_t KAVAPI VokFreeLink(int32_t link) { return send(1265, link); }
int32_t KAVAPI VokLinkElement(int32_t link, int32_t element) { return send(1266, link, val(element)); }
int32_t KAVAPI VokSeekLinkedElement(int32_t link, int32_t element) { return gather(1267, link, val(element)); }

// ---- text fonts -------------------------------------------------------------------

// The host overwrites the library's 32-byte field.  On a nonzero answer the
// result is the name up to its first zero byte (all 32 bytes when there is
// none); on an answer of 0 it is a string of 32 zero bytes.  Never null
// unless no memory is left.
BSTR KAVAPI VokGetStringFont(int32_t element) {
    FontField field;
    if (exchange(1268, element, bytes(field.name, sizeof field.name)) == 0) {
        const FontField none;
        return kav::newByteString(none.name, sizeof none.name);
    }
    return kav::newByteString(field.name, static_cast<uint32_t>(::strnlen(field.name, sizeof field.name)));
}

int32_t KAVAPI VokChangeStringFont(int32_t element, const char* fontName) {
    FontField field;
    return send(1269, element, fontField(field, fontName));
}
