// Dimensions: rubber-band and creating functions of each kind, the dimension
// modifiers, changes of an existing dimension and its attributes.  The
// point-list functions carry `count` as a sign-extended lParam and place
// `position` before the values, whatever the argument order.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

namespace {

// `count` points from `points`; count is signed 16-bit.  A negative count, or
// one whose points do not fit the request, is refused.
Seg pointList(const PointShape* points, int16_t count) { return items(points, count); }

}  // namespace

int32_t KAVAPI VokRubberHorizontalDimIF(int16_t count, const PointShape* points, const PointShape* position) {
    return gather(2100, lpSigned16(count), pointList(points, count), rec(position));
}

int32_t KAVAPI VokCreateHorizontalDimIF(int16_t count, const PointShape* points, const PointShape* position) {
    return gather(2101, lpSigned16(count), pointList(points, count), rec(position));
}

int32_t KAVAPI VokRubberVerticalDimIF(int16_t count, const PointShape* points, const PointShape* position) {
    return gather(2102, lpSigned16(count), pointList(points, count), rec(position));
}

int32_t KAVAPI VokCreateVerticalDimIF(int16_t count, const PointShape* points, const PointShape* position) {
    return gather(2103, lpSigned16(count), pointList(points, count), rec(position));
}

int32_t KAVAPI VokRubberLinearDimIF(int16_t count, const PointShape* points, const double* value,
                                    const PointShape* position) {
    return gather(2104, lpSigned16(count), pointList(points, count), rec(position), rec(value));
}

int32_t KAVAPI VokCreateLinearDimIF(int16_t count, const PointShape* points, const double* value,
                                    const PointShape* position) {
    return gather(2105, lpSigned16(count), pointList(points, count), rec(position), rec(value));
}

int32_t KAVAPI VokRubberChamferDim(int32_t element, int16_t option, const PointShape* position) {
    return gather(2106, element, val(option), rec(position));
}

int32_t KAVAPI VokCreateChamferDim(int32_t element, int16_t option, const PointShape* position) {
    return gather(2107, element, val(option), rec(position));
}

int32_t KAVAPI VokRubberDiameterDim(int32_t element, int16_t option1, PointShape* position, int16_t option2,
                                    double* value) {
    return scatter(2108, element, val(option1), rec(position), val(option2), rec(value));
}

int32_t KAVAPI VokCreateDiameterDim(int32_t element, int16_t option1, PointShape* position, int16_t option2,
                                    double* value) {
    return scatter(2109, element, val(option1), rec(position), val(option2), rec(value));
}

int32_t KAVAPI VokRubberRadiusDim(int32_t element, int16_t option1, PointShape* position, int16_t option2,
                                  double* value) {
    return scatter(2110, element, val(option1), rec(position), val(option2), rec(value));
}

int32_t KAVAPI VokCreateRadiusDim(int32_t element, int16_t option1, PointShape* position, int16_t option2,
                                  double* value) {
    return scatter(2111, element, val(option1), rec(position), val(option2), rec(value));
}

int32_t KAVAPI VokRubberAngularDim(int32_t element1, int32_t element2, int16_t option1, PointShape* position,
                                   int16_t option2, int16_t option3, double* value) {
    return scatter(2112, 0, val(element1), val(element2), val(option1), rec(position), val(option2), val(option3),
                   rec(value));
}

int32_t KAVAPI VokCreateAngularDim(int32_t element1, int32_t element2, int16_t option1, PointShape* position,
                                   int16_t option2, int16_t option3, double* value) {
    return scatter(2113, 0, val(element1), val(element2), val(option1), rec(position), val(option2), val(option3),
                   rec(value));
}

int32_t KAVAPI VokRubberOffsetDim(int32_t element1, int32_t element2, int16_t option, PointShape* position) {
    return scatter(2114, 0, val(element1), val(element2), val(option), rec(position));
}

int32_t KAVAPI VokCreateOffsetDim(int32_t element1, int32_t element2, int16_t option, PointShape* position) {
    return scatter(2115, 0, val(element1), val(element2), val(option), rec(position));
}

int32_t KAVAPI VokRubberArcLengDim(int32_t element, int16_t option1, PointShape* point1, PointShape* point2,
                                   PointShape* point3, int16_t option2, int16_t option3, double* value) {
    return scatter(2116, 0, val(element), val(option1), rec(point1), rec(point2), rec(point3), val(option2),
                   val(option3), rec(value));
}

int32_t KAVAPI VokCreateArcLengDim(int32_t element, int16_t option1, PointShape* point1, PointShape* point2,
                                   PointShape* point3, int16_t option2, int16_t option3, double* value) {
    return scatter(2117, 0, val(element), val(option1), rec(point1), rec(point2), rec(point3), val(option2),
                   val(option3), rec(value));
}

int32_t KAVAPI VokResolveDimGroup(int32_t dimGroup) { return send(2119, dimGroup); }
int32_t KAVAPI VokSetDimPrefix(const char* text) { return send(2120, 0, kav::wire::text(text)); }
int32_t KAVAPI VokSetDimSuffix(const char* text) { return send(2121, 0, kav::wire::text(text)); }
int32_t KAVAPI VokSetDimString(const char* text) { return send(2122, 0, kav::wire::text(text)); }
int32_t KAVAPI VokSetDimValue(double value) { return send(2123, 0, val(value)); }

int32_t KAVAPI VokSetDimTolerance(int32_t kind, const char* text1, const char* text2, const char* text3) {
    return gather(2124, kind, text(text1), text(text2), text(text3));
}

int32_t KAVAPI VokDimCenterModeOn() { return send(2125, 0); }
int32_t KAVAPI VokDimCenterModeOff() { return send(2126, 0); }
int32_t KAVAPI VokResetDimModifiers() { return send(2127, 0); }

int32_t KAVAPI VokChangeDimText(int32_t element, const char* text) {
    return send(2128, element, kav::wire::text(text));
}

int32_t KAVAPI VokChangeDimTextSize(int32_t element, double size) { return send(2129, element, val(size)); }

int32_t KAVAPI VokChangeDimTextPos(int32_t element, const PointShape* position) {
    return send(2130, element, rec(position));
}

int32_t KAVAPI VokGetDimAttr(ElementAttr* block1, ElementAttr* block2, StringAttr* block3, DimAttrBlock4* block4,
                             DimAttrBlock5* block5) {
    return negated16(scatter(2131, 0, rec(block1), rec(block2), rec(block3), rec(block4), rec(block5)));
}

int32_t KAVAPI VokSetDimAttr(const ElementAttr* block1, const ElementAttr* block2, const StringAttr* block3,
                             const DimAttrBlock4* block4, const DimAttrBlock5* block5) {
    return negated16(gather(2132, 0, rec(block1), rec(block2), rec(block3), rec(block4), rec(block5)));
}

int32_t KAVAPI VokCreateSlantDimIF(int16_t count, const PointShape* points, const double* value1,
                                   const PointShape* position, const double* value2) {
    return gather(2133, lpSigned16(count), pointList(points, count), rec(position), rec(value1), rec(value2));
}
