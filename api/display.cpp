// Display of shapes that are not elements, display, clearing and
// highlighting of elements and marks, and rubber-band figures.  Nothing is
// read back.  A displayed text shape travels whole (20 bytes, the caller's
// text reference included) with its text behind the attributes; a rubber-band
// text travels as its 16 position bytes behind the attributes and the two
// extended values.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

namespace {

constexpr size_t kShapeText = offsetof(StringShape, text);  // 16: the end of the position form
constexpr uint32_t kRubberTextLimit = 256;                  // bytes with the terminator

const char* shapeText(const StringShape* shape) { return textReference(shape, kShapeText); }

}  // namespace

int32_t KAVAPI VokDisplayPointShape(const PointShape* shape, const ElementAttr* attr) {
    return gather(1400, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokDisplayLineShape(const LineShape* shape, const ElementAttr* attr) {
    return gather(1401, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokDisplayCircleShape(const CircleShape* shape, const ElementAttr* attr) {
    return gather(1402, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokDisplayArcShape(const ArcShape* shape, const ElementAttr* attr) {
    return gather(1403, 0, rec(shape), rec(attr));
}
int32_t KAVAPI VokDisplayEllipseShape(const EllipseShape* shape, const ElementAttr* attr) {
    return gather(1404, 0, rec(shape), rec(attr));
}

// Shape whole at 0, attributes at 20, the text at 76; the text is limited
// only by the payload area.
int32_t KAVAPI VokDisplayStringShape(const StringShape* shape, const StringAttr* stringAttr) {
    return gather(1405, 0, rec(shape), rec(stringAttr), text(shapeText(shape)));
}

int32_t KAVAPI VokDisplayElement(int32_t element) { return send(1406, element); }
int32_t KAVAPI VokDisplayMark(int32_t mark) { return send(1407, mark); }
int32_t KAVAPI VokClearElement(int32_t element) { return send(1408, element); }
int32_t KAVAPI VokHilightElement(int32_t element, int16_t hilightMode) {
    return send(1409, element, val(hilightMode));
}
int32_t KAVAPI VokHilightMark(int32_t mark, int16_t hilightMode) { return send(1410, mark, val(hilightMode)); }

int32_t KAVAPI VokDisplayEllArcShape(const EllArcShape* shape, const ElementAttr* attr) {
    return gather(1411, 0, rec(shape), rec(attr));
}

int32_t KAVAPI VokClearMark(int32_t mark) { return send(1412, mark); }
int32_t KAVAPI VokDisplayAll() { return send(1413, 0); }
int32_t KAVAPI VokDoubleHilightElement(int32_t element, int16_t hilightMode) {
    return send(1414, element, val(hilightMode));
}
int32_t KAVAPI VokDoubleHilightMark(int32_t mark, int16_t hilightMode) {
    return send(1415, mark, val(hilightMode));
}

// The four blocks of the B-spline, then the attributes: 3556 bytes always.
int32_t KAVAPI VokDisplayBSplineShapeIF(const BSplineHeader* header, const BSplineValues* values1,
                                        const BSplinePoints* points, const BSplineValues* values2,
                                        const ElementAttr* attr) {
    return gather(1416, 0, rec(header), rec(values1), rec(points), rec(values2), rec(attr));
}

int32_t KAVAPI VokDisplayZoomAll() { return send(1417, 0); }

int32_t KAVAPI VokStartRubber() { return send(1701, 0); }
int32_t KAVAPI VokEndRubber() { return send(1702, 0); }
int32_t KAVAPI VokDrawRubberLine(const LineShape* shape) { return send(1703, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberLongLine(const LineShape* shape) { return send(1704, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberCircle(const CircleShape* shape) { return send(1705, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberArc(const ArcShape* shape) { return send(1706, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberEllipse(const EllipseShape* shape) { return send(1707, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberEllArc(const EllArcShape* shape) { return send(1708, 0, rec(shape)); }
int32_t KAVAPI VokDrawRubberMarkElements(const CopyParam* copyParam) { return send(1709, 0, rec(copyParam)); }

// Payload order: attributes at 0, exValue1 at 56, exValue2 at 58, the 16
// position bytes at 60, the text at 76.  A null text, or one of 256 bytes or
// more with its terminator, is refused: 0, nothing sent.
int32_t KAVAPI VokDrawRubberString(const StringShape* shape, const StringAttr* stringAttr, const int16_t* exValue1,
                                   const int16_t* exValue2) {
    const char* s = shapeText(shape);
    const int64_t length = textLength(s, kRubberTextLimit);
    const Seg textSeg = length >= 0 && length + 1 <= kRubberTextLimit ? text(s) : refused();
    return gather(1710, 0, rec(stringAttr), rec(exValue1), rec(exValue2), bytes(shape, kShapeText), textSeg);
}
