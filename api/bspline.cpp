// B-spline calculations carried out by the host.  A curve is four blocks
// (28 + 880 + 1760 + 880 bytes) that always travel whole; output tables are
// moved whole through the element data of the caller's array, whatever the
// number of results.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

namespace {

constexpr uint32_t kTableEntries = 100;
constexpr uint32_t kPointTable = kTableEntries * sizeof(PointShape);  // 1,600 bytes
constexpr uint32_t kArcTable = kTableEntries * sizeof(ArcShape);      // 4,400 bytes

// The first `count` points of an array variable; count is unsigned 16-bit.
// A list that does not fit the request is refused by its size check.
Seg pointList(SAFEARRAY** pointArray, int16_t count) {
    return arrayData(pointArray, uint64_t{static_cast<uint16_t>(count)} * sizeof(PointShape));
}

}  // namespace

int32_t KAVAPI VokCalFitBSplineCurveIF(SAFEARRAY** pointArray, int16_t count, int16_t option1, PointShape* vec1,
                                       int16_t option2, PointShape* vec2, BSplineHeader* header,
                                       BSplineValues* values1, BSplinePoints* points, BSplineValues* values2) {
    return scatter(2063, 0, val(count), pointList(pointArray, count), val(option1), rec(vec1), val(option2),
                   rec(vec2), rec(header), rec(values1), rec(points), rec(values2));
}

int32_t KAVAPI VokCalFitBSplineCurveClosedIF(SAFEARRAY** pointArray, int16_t count, BSplineHeader* header,
                                             BSplineValues* values1, BSplinePoints* points,
                                             BSplineValues* values2) {
    return scatter(2064, 0, val(count), pointList(pointArray, count), rec(header), rec(values1), rec(points),
                   rec(values2));
}

int32_t KAVAPI VokCalFitBSplineCurve2IF(int16_t option, SAFEARRAY** pointArray, int16_t count, BSplineHeader* header,
                                        BSplineValues* values1, BSplinePoints* points, BSplineValues* values2) {
    return scatter(2065, 0, val(option), val(count), pointList(pointArray, count), rec(header), rec(values1),
                   rec(points), rec(values2));
}

int32_t KAVAPI VokCalFitBSplineCurveClosed2IF(int16_t option, SAFEARRAY** pointArray, int16_t count,
                                              BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                              BSplineValues* values2) {
    return scatter(2066, 0, val(option), val(count), pointList(pointArray, count), rec(header), rec(values1),
                   rec(points), rec(values2));
}

int32_t KAVAPI VokCalSmoothBSplineCurveIF(int16_t option1, int16_t option2, SAFEARRAY** pointArray, int16_t count,
                                          BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                          BSplineValues* values2) {
    return scatter(2067, 0, val(option1), val(option2), val(count), pointList(pointArray, count), rec(header),
                   rec(values1), rec(points), rec(values2));
}

int32_t KAVAPI VokCalSmoothBSplineCurveClosedIF(int16_t option1, int16_t option2, SAFEARRAY** pointArray,
                                                int16_t count, BSplineHeader* header, BSplineValues* values1,
                                                BSplinePoints* points, BSplineValues* values2) {
    return scatter(2068, 0, val(option1), val(option2), val(count), pointList(pointArray, count), rec(header),
                   rec(values1), rec(points), rec(values2));
}

int32_t KAVAPI VokCalTransBSplineIF(BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                    BSplineValues* values2, TransMatrix* matrix, BSplineHeader* outHeader,
                                    BSplineValues* outValues1, BSplinePoints* outPoints,
                                    BSplineValues* outValues2) {
    return scatter(2069, 0, rec(header), rec(values1), rec(points), rec(values2), rec(matrix), rec(outHeader),
                   rec(outValues1), rec(outPoints), rec(outValues2));
}

int32_t KAVAPI VokCalIntOfLineBSplineIF(LineShape* line, BSplineHeader* header, BSplineValues* values1,
                                        BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2070, 0, rec(line), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalIntOfCircleBSplineIF(CircleShape* circle, BSplineHeader* header, BSplineValues* values1,
                                          BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2071, 0, rec(circle), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalIntOfArcBSplineIF(ArcShape* arc, BSplineHeader* header, BSplineValues* values1,
                                       BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2072, 0, rec(arc), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalIntOfElliBSplineIF(EllipseShape* ellipse, BSplineHeader* header, BSplineValues* values1,
                                        BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2073, 0, rec(ellipse), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalIntOfEllArcBSplineIF(EllArcShape* ellArc, BSplineHeader* header, BSplineValues* values1,
                                          BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2074, 0, rec(ellArc), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

// Two curves and a point table: 8,696 bytes, the largest fixed request.
int32_t KAVAPI VokCalIntOfBSplineBSplineIF(BSplineHeader* headerA, BSplineValues* valuesA1, BSplinePoints* pointsA,
                                           BSplineValues* valuesA2, BSplineHeader* headerB, BSplineValues* valuesB1,
                                           BSplinePoints* pointsB, BSplineValues* valuesB2,
                                           SAFEARRAY** outArray) {
    return scatter(2075, 0, rec(headerA), rec(valuesA1), rec(pointsA), rec(valuesA2), rec(headerB), rec(valuesB1),
                   rec(pointsB), rec(valuesB2), arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalPerpToBSplineIF(PointShape* point, BSplineHeader* header, BSplineValues* values1,
                                     BSplinePoints* points, BSplineValues* values2, SAFEARRAY** outArray) {
    return scatter(2076, 0, rec(point), rec(header), rec(values1), rec(points), rec(values2),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalClosestOnBSplineIF(PointShape* point, BSplineHeader* header, BSplineValues* values1,
                                        BSplinePoints* points, BSplineValues* values2, PointShape* out) {
    return scatter(2077, 0, rec(point), rec(header), rec(values1), rec(points), rec(values2), rec(out));
}

int32_t KAVAPI VokCalNumPntsOnBSplineIF(BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                        BSplineValues* values2, int16_t number, SAFEARRAY** outArray) {
    return scatter(2078, 0, rec(header), rec(values1), rec(points), rec(values2), val(number),
                   arrayData(outArray, kPointTable));
}

int32_t KAVAPI VokCalNumArcsOnBSplineIF(BSplineHeader* header, BSplineValues* values1, BSplinePoints* points,
                                        BSplineValues* values2, int16_t number, SAFEARRAY** outArray) {
    return scatter(2079, 0, rec(header), rec(values1), rec(points), rec(values2), val(number),
                   arrayData(outArray, kArcTable));
}

int32_t KAVAPI VokCalNumOfSegmentsOnBSplineIF(const BSplineHeader* header, const BSplineValues* values1,
                                              const BSplinePoints* points, const BSplineValues* values2) {
    return gather(2080, 0, rec(header), rec(values1), rec(points), rec(values2));
}
