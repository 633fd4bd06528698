// Plane-geometry calculations carried out by the host: tolerances,
// comparisons, angles, distances, intersections, vectors, matrices and
// transformations.  Every function is one request; a double result comes
// back through an 8-byte result place of the function's own, sent as the last
// block with a preset that is returned when the host leaves it untouched.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

using namespace kav::wire;

namespace {

// GatherScatterRequest of `blocks` followed by the result place, preset to
// `preset`; the 32-bit answer is dropped.  A refused request gives 0.0.
template <class... S>
double doubleResult(uint32_t code, double preset, S... blocks) {
    double place = preset;
    return tryScatter(code, 0, blocks..., val(place)) ? place : 0.0;
}

// The host's length and angle tolerances: the result place is the only block.
double tolerance(uint32_t code, double preset) {
    double place = preset;
    exchange(code, 0, val(place));
    return place;
}

// The two angle functions have no preset of their own; their result place
// starts at 0.0 so that a host that leaves it untouched gives a defined result.
constexpr double kAngleUntouched = 0.0;

// At most 256 bytes of a text are counted; the copy buffer holds them and the
// terminator.
constexpr uint32_t kCountedText = 256;
constexpr uint32_t kCountBuffer = 260;

}  // namespace

double KAVAPI VokCalGetEpsLen() { return tolerance(2000, 1e-10); }
double KAVAPI VokCalGetEpsAng() { return tolerance(2001, 1e-05); }
int32_t KAVAPI VokCalSetEpsLen(double epsLen) { return exchange(2002, 0, val(epsLen)); }
int32_t KAVAPI VokCalSetEpsAng(double epsAng) { return exchange(2003, 0, val(epsAng)); }
int32_t KAVAPI VokCalResetEps() { return exchange(2004, 0); }

int32_t KAVAPI VokCalEquP(PointShape* point1, PointShape* point2) {
    return scatter(2005, 0, rec(point1), rec(point2));
}

int32_t KAVAPI VokCalEquLen(double length1, double length2) {
    return scatter(2006, 0, val(length1), val(length2));
}

int32_t KAVAPI VokCalCompRad(double angle1, double angle2) {
    return scatter(2007, 0, val(angle1), val(angle2));
}

int32_t KAVAPI VokCalInsideRad(double angle, double angle1, double angle2) {
    return scatter(2008, 0, val(angle), val(angle1), val(angle2));
}

int32_t KAVAPI VokCalInsideRect(PointShape* point, LineShape* rect) {
    return scatter(2009, 0, rec(point), rec(rect));
}

// count is unsigned 16-bit; more than 1022 points do not fit beside the point
// and are refused by the request's size check.
int32_t KAVAPI VokCalInsideConvex(PointShape* point, int16_t count, SAFEARRAY** pointArray) {
    const uint16_t n = static_cast<uint16_t>(count);
    return scatter(2010, lp16(count), rec(point), arrayData(pointArray, uint64_t{n} * sizeof(PointShape)));
}

double KAVAPI VokCalRadToDeg(double angle) { return doubleResult(2011, 0.0, val(angle)); }
double KAVAPI VokCalDegToRad(double degrees) { return doubleResult(2012, 0.0, val(degrees)); }
double KAVAPI VokCalNormRad(double angle) { return doubleResult(2013, angle, val(angle)); }

double KAVAPI VokCalAngle3P(PointShape* point1, PointShape* point2, PointShape* point3) {
    return doubleResult(2014, kAngleUntouched, rec(point1), rec(point2), rec(point3));
}

int32_t KAVAPI VokCalIntersection(int32_t element1, int32_t element2, ResultPoint* result1, ResultPoint* result2,
                                  ResultPoint* result3, ResultPoint* result4) {
    return scatter(2015, 0, val(element1), val(element2), rec(result1), rec(result2), rec(result3), rec(result4));
}

int32_t KAVAPI VokCalPerpend(PointShape* point, int32_t element, ResultPoint* result) {
    return scatter(2016, element, rec(point), rec(result));
}

int32_t KAVAPI VokCalTangent(PointShape* point, int32_t element, ResultPoint* result1, ResultPoint* result2) {
    return scatter(2017, element, rec(point), rec(result1), rec(result2));
}

int32_t KAVAPI VokCalCenter3P(PointShape* point1, PointShape* point2, PointShape* point3, PointShape* out) {
    return scatter(2018, 0, rec(point1), rec(point2), rec(point3), rec(out));
}

int32_t KAVAPI VokCalMidP(PointShape* point1, PointShape* point2, PointShape* out) {
    return scatter(2019, 0, rec(point1), rec(point2), rec(out));
}

int32_t KAVAPI VokCalAngularPointOnCircle(CircleShape* circle, double angle, PointShape* out) {
    return scatter(2020, 0, rec(circle), val(angle), rec(out));
}

int32_t KAVAPI VokCalAngularPointOnEllipse(EllipseShape* ellipse, double angle, PointShape* out) {
    return scatter(2021, 0, rec(ellipse), val(angle), rec(out));
}

double KAVAPI VokCalDist2P(PointShape* point1, PointShape* point2) {
    return doubleResult(2022, 0.0, rec(point1), rec(point2));
}

double KAVAPI VokCalDistToLine(PointShape* point1, PointShape* point2, PointShape* point3) {
    return doubleResult(2023, 0.0, rec(point1), rec(point2), rec(point3));
}

int32_t KAVAPI VokCalVecOf2P(PointShape* point1, PointShape* point2, PointShape* out) {
    return scatter(2024, 0, rec(point1), rec(point2), rec(out));
}

int32_t KAVAPI VokCalAddVecToPoint(PointShape* point, PointShape* vec, PointShape* out) {
    return scatter(2025, 0, rec(point), rec(vec), rec(out));
}

int32_t KAVAPI VokCalAddVec(PointShape* vec1, PointShape* vec2, PointShape* out) {
    return scatter(2026, 0, rec(vec1), rec(vec2), rec(out));
}

int32_t KAVAPI VokCalSubVec(PointShape* vec1, PointShape* vec2, PointShape* out) {
    return scatter(2027, 0, rec(vec1), rec(vec2), rec(out));
}

int32_t KAVAPI VokCalMultiVec(PointShape* vec, double factor, PointShape* out) {
    return scatter(2028, 0, rec(vec), val(factor), rec(out));
}

int32_t KAVAPI VokCalUnifyVec(PointShape* vec, PointShape* out) {
    return scatter(2029, 0, rec(vec), rec(out));
}

double KAVAPI VokCalVecLen(PointShape* vec) { return doubleResult(2030, 0.0, rec(vec)); }
double KAVAPI VokCalVecAng(PointShape* vec) { return doubleResult(2031, 0.0, rec(vec)); }

int32_t KAVAPI VokCalPerpVec(PointShape* vec, PointShape* out) {
    return scatter(2032, 0, rec(vec), rec(out));
}

double KAVAPI VokCalInProduct(PointShape* vec1, PointShape* vec2) {
    return doubleResult(2033, 0.0, rec(vec1), rec(vec2));
}

double KAVAPI VokCalOutProduct(PointShape* vec1, PointShape* vec2) {
    return doubleResult(2034, 0.0, rec(vec1), rec(vec2));
}

double KAVAPI VokCalMatrixDeterminant(TransMatrix* matrix) {
    return doubleResult(2035, 0.0, rec(matrix));
}

int32_t KAVAPI VokCalMatrixMove(PointShape* offset, TransMatrix* out) {
    return scatter(2036, 0, rec(offset), rec(out));
}

int32_t KAVAPI VokCalMatrixRotate(double angle, TransMatrix* out) {
    return scatter(2037, 0, val(angle), rec(out));
}

int32_t KAVAPI VokCalMatrixScale(double factor, TransMatrix* out) {
    return scatter(2038, 0, val(factor), rec(out));
}

int32_t KAVAPI VokCalMatrixMirror(double angle, TransMatrix* out) {
    return scatter(2039, 0, val(angle), rec(out));
}

int32_t KAVAPI VokCalMultiMatrix(TransMatrix* matrix1, TransMatrix* matrix2, TransMatrix* out) {
    return scatter(2040, 0, rec(matrix1), rec(matrix2), rec(out));
}

int32_t KAVAPI VokCalInvMatrix(TransMatrix* matrix, TransMatrix* out) {
    return scatter(2041, 0, rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransCoord(PointShape* point, TransMatrix* matrix, PointShape* out) {
    return scatter(2042, 0, rec(point), rec(matrix), rec(out));
}

double KAVAPI VokCalTransAngle(double angle, TransMatrix* matrix) {
    return doubleResult(2043, angle, val(angle), rec(matrix));
}

int32_t KAVAPI VokCalTransPoint(PointShape* point, TransMatrix* matrix, PointShape* out) {
    return scatter(2044, 0, rec(point), rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransLine(LineShape* shape, TransMatrix* matrix, LineShape* out) {
    return scatter(2045, 0, rec(shape), rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransCircle(CircleShape* shape, TransMatrix* matrix, CircleShape* out) {
    return scatter(2046, 0, rec(shape), rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransArc(ArcShape* shape, TransMatrix* matrix, ArcShape* out) {
    return scatter(2047, 0, rec(shape), rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransEllipse(EllipseShape* shape, TransMatrix* matrix, EllipseShape* out) {
    return scatter(2048, 0, rec(shape), rec(matrix), rec(out));
}

int32_t KAVAPI VokCalTransEllArc(EllArcShape* shape, TransMatrix* matrix, EllArcShape* out) {
    return scatter(2049, 0, rec(shape), rec(matrix), rec(out));
}

// Both StringShapes travel whole, text references included (204 bytes in
// all).  2050 is the free code between its neighbours 2049 and 2051.
int32_t KAVAPI VokCalTransString(StringShape* shape, StringAttr* stringAttr, TransMatrix* matrix,
                                 StringShape* outShape, StringAttr* outStringAttr) {
    return scatter(2050, 0, rec(shape), rec(stringAttr), rec(matrix), rec(outShape), rec(outStringAttr));
}

// The string's ANSI bytes up to the first zero, at most 256 of them (255
// where the 256th would be the first half of a double-byte character), are
// copied into a buffer of our own and sent with a terminator.
int32_t KAVAPI VokCalNumOfChar(BSTR* text) {
    BSTR string = nullptr;
    if (!kav::guardedLoad(text, string)) return 0;
    int64_t length = textLength(reinterpret_cast<const char*>(string), kCountedText);
    if (length < 0) return 0;
    char copy[kCountBuffer] = {};
    if (!kav::guardedCopy(copy, string, static_cast<uint32_t>(length))) return 0;
    if (length == kCountedText) {
        length = kav::wholeCharacterLength(copy, kCountedText);
        copy[length] = '\0';
    }
    return send(2051, 0, bytes(copy, length + 1));
}

double KAVAPI VokCalAngle2P(PointShape* point1, PointShape* point2) {
    return doubleResult(2052, kAngleUntouched, rec(point1), rec(point2));
}

int32_t KAVAPI VokCalInsideLine(LineShape* line, PointShape* point) {
    return scatter(2053, 0, rec(line), rec(point));
}

int32_t KAVAPI VokCalInsideArc(ArcShape* arc, PointShape* point) {
    return scatter(2054, 0, rec(arc), rec(point));
}

int32_t KAVAPI VokCalInsideEllArc(EllArcShape* ellArc, PointShape* point) {
    return scatter(2055, 0, rec(ellArc), rec(point));
}

int32_t KAVAPI VokCalIntOfALineALine(PointShape* pointA, double angleA, PointShape* pointB, double angleB,
                                     PointShape* out) {
    return scatter(2056, 0, rec(pointA), val(angleA), rec(pointB), val(angleB), rec(out));
}

int32_t KAVAPI VokCalIntOfLineLine(PointShape* lineA1, PointShape* lineA2, PointShape* lineB1, PointShape* lineB2,
                                   PointShape* out) {
    return scatter(2057, 0, rec(lineA1), rec(lineA2), rec(lineB1), rec(lineB2), rec(out));
}

int32_t KAVAPI VokCalIntOfLineCircle(PointShape* linePoint1, PointShape* linePoint2, PointShape* center,
                                     double radius, PointShape* out1, PointShape* out2) {
    return scatter(2058, 0, rec(linePoint1), rec(linePoint2), rec(center), val(radius), rec(out1), rec(out2));
}

int32_t KAVAPI VokCalIntOfCircleCircle(PointShape* centerA, double radiusA, PointShape* centerB, double radiusB,
                                       PointShape* out1, PointShape* out2) {
    return scatter(2059, 0, rec(centerA), val(radiusA), rec(centerB), val(radiusB), rec(out1), rec(out2));
}

int32_t KAVAPI VokCalIntOfLineElli(PointShape* linePoint1, PointShape* linePoint2, PointShape* center,
                                   double radius1, double radius2, double axisAngle, PointShape* out1,
                                   PointShape* out2) {
    return scatter(2060, 0, rec(linePoint1), rec(linePoint2), rec(center), val(radius1), val(radius2),
                   val(axisAngle), rec(out1), rec(out2));
}

int32_t KAVAPI VokCalIntOfCircleElli(PointShape* centerA, double radiusA, PointShape* centerB, double radiusB1,
                                     double radiusB2, double axisAngleB, PointShape* out1, PointShape* out2,
                                     PointShape* out3, PointShape* out4) {
    return scatter(2061, 0, rec(centerA), val(radiusA), rec(centerB), val(radiusB1), val(radiusB2), val(axisAngleB),
                   rec(out1), rec(out2), rec(out3), rec(out4));
}

int32_t KAVAPI VokCalIntOfElliElli(PointShape* centerA, double radiusA1, double radiusA2, double axisAngleA,
                                   PointShape* centerB, double radiusB1, double radiusB2, double axisAngleB,
                                   PointShape* out1, PointShape* out2, PointShape* out3, PointShape* out4) {
    return scatter(2062, 0, rec(centerA), val(radiusA1), val(radiusA2), val(axisAngleA), rec(centerB),
                   val(radiusB1), val(radiusB2), val(axisAngleB), rec(out1), rec(out2), rec(out3), rec(out4));
}
