/*
 * kavlink.h - interface library between add-in commands and the CAD host.
 *
 * Every function is exported undecorated with the __stdcall convention from
 * kavlink.dll.  Each call copies its arguments into the shared block
 * "vbcmd_memfilemap", sends one window message to the host window and copies
 * the answer back.  Records are packed exactly as the host lays them out.
 *
 * Argument kinds used below:
 *   short / unsigned char by value  - only the low 16 / 8 bits of the slot count
 *   const char*                      - zero-terminated ANSI text
 *   BSTR*                            - the caller's string variable (ANSI bytes)
 *   SAFEARRAY**                      - the caller's array variable; the library
 *                                      reads and writes the array's element data
 */
#ifndef KAVLINK_H
#define KAVLINK_H

#include <stdint.h>
#include <windows.h>
#include <ole2.h>

#ifdef __cplusplus
extern "C" {
#define KAV_RECORD_SIZE(type, bytes) static_assert(sizeof(type) == (bytes), #type " must be " #bytes " bytes")
#else
#define KAV_RECORD_SIZE(type, bytes) _Static_assert(sizeof(type) == (bytes), #type " must be " #bytes " bytes")
#endif

#define KAVAPI __stdcall

/* ------------------------------------------------------------------ records */
#pragma pack(push, 1)

typedef struct PointShape { double x, y; } PointShape;
typedef struct LineShape { PointShape start, end; } LineShape;
typedef struct CircleShape { PointShape center; double radius; } CircleShape;
typedef struct ArcShape {
    PointShape center; double radius; double startAngle; double endAngle; int32_t arcFlag;
} ArcShape;
typedef struct EllipseShape {
    PointShape center; double radius1; double radius2; double axisAngle;
} EllipseShape;
typedef struct EllArcShape {
    PointShape center; double radius1; double radius2; double axisAngle;
    double startAngle; double endAngle; int32_t arcFlag;
} EllArcShape;
/* A placed text: 16 position bytes, then the address of the caller's text. */
typedef struct StringShape { PointShape position; char *text; } StringShape;

/* The four blocks of a B-spline, always moved whole. */
typedef struct BSplineHeader { unsigned char bytes[28]; } BSplineHeader;
typedef struct BSplineValues { double values[110]; } BSplineValues;
typedef struct BSplinePoints { PointShape points[110]; } BSplinePoints;

typedef struct ResultPoint { unsigned char bytes[18]; } ResultPoint;
typedef struct TransMatrix { unsigned char bytes[52]; } TransMatrix;

typedef struct ElementAttr { unsigned char bytes[8]; } ElementAttr;
typedef struct StringAttr { unsigned char bytes[56]; } StringAttr;
typedef struct StringSBox { unsigned char bytes[40]; } StringSBox;
typedef struct PolylineInfo { unsigned char bytes[6]; } PolylineInfo;
typedef struct StringStyle { unsigned char bytes[92]; } StringStyle;

typedef struct DBInfo { unsigned char bytes[1336]; } DBInfo;
typedef struct DBInfoEx { unsigned char bytes[130]; } DBInfoEx;

typedef struct CopyParam { unsigned char bytes[76]; } CopyParam;
typedef struct CopyOption { unsigned char bytes[14]; } CopyOption;

typedef struct ButtonStatus { unsigned char bytes[6]; } ButtonStatus;
typedef struct BoxStatus {
    unsigned char head[16];
    char text[256];           /* the box's text, zero-terminated ANSI */
    unsigned char tail[4];
} BoxStatus;

/* The five blocks of the dimension attributes. */
typedef struct DimAttrBlock4 { unsigned char bytes[100]; } DimAttrBlock4;
typedef struct DimAttrBlock5 { unsigned char bytes[168]; } DimAttrBlock5;

/* What the host writes at the start of the payload for a property query. */
typedef struct PropertyRecord {
    int32_t tag;
    char name[34];
    int32_t size;
    uint32_t data;            /* address of the data in this process */
} PropertyRecord;

/* 32-byte records of symbol attributes and of segregated marks. */
typedef struct Record32 { unsigned char bytes[32]; } Record32;

#pragma pack(pop)

KAV_RECORD_SIZE(PointShape, 16);
KAV_RECORD_SIZE(LineShape, 32);
KAV_RECORD_SIZE(CircleShape, 24);
KAV_RECORD_SIZE(ArcShape, 44);
KAV_RECORD_SIZE(EllipseShape, 40);
KAV_RECORD_SIZE(EllArcShape, 60);
KAV_RECORD_SIZE(StringShape, 20);
KAV_RECORD_SIZE(BSplineHeader, 28);
KAV_RECORD_SIZE(BSplineValues, 880);
KAV_RECORD_SIZE(BSplinePoints, 1760);
KAV_RECORD_SIZE(ResultPoint, 18);
KAV_RECORD_SIZE(TransMatrix, 52);
KAV_RECORD_SIZE(ElementAttr, 8);
KAV_RECORD_SIZE(StringAttr, 56);
KAV_RECORD_SIZE(StringSBox, 40);
KAV_RECORD_SIZE(PolylineInfo, 6);
KAV_RECORD_SIZE(StringStyle, 92);
KAV_RECORD_SIZE(DBInfo, 1336);
KAV_RECORD_SIZE(DBInfoEx, 130);
KAV_RECORD_SIZE(CopyParam, 76);
KAV_RECORD_SIZE(CopyOption, 14);
KAV_RECORD_SIZE(ButtonStatus, 6);
KAV_RECORD_SIZE(BoxStatus, 276);
KAV_RECORD_SIZE(DimAttrBlock4, 100);
KAV_RECORD_SIZE(DimAttrBlock5, 168);
KAV_RECORD_SIZE(PropertyRecord, 46);
KAV_RECORD_SIZE(Record32, 32);

/* ------------------------------------------------------- channel and strings */
void KAVAPI InitVBCmdLib(HWND hostWindow, int32_t cmdLine);
int32_t KAVAPI VokExitCommand(void);
/* Puts text into *stringVar; returns 0 (variable untouched) on a null argument. */
int32_t KAVAPI CopyStringToBStr(BSTR *stringVar, const char *text);

/* ------------------------------------------ system attributes and binders */
int32_t KAVAPI VokGetSystemElementAttr(ElementAttr *attr);
int32_t KAVAPI VokSetSystemElementAttr(const ElementAttr *attr);
int32_t KAVAPI VokGetSystemStringAttr(StringAttr *stringAttr);
int32_t KAVAPI VokSetSystemStringAttr(const StringAttr *stringAttr);
int32_t KAVAPI VokGetSystemStringAttrEx(int16_t *exValue1, int16_t *exValue2);
int32_t KAVAPI VokSetSystemStringAttrEx(int16_t exValue1, int16_t exValue2);
int32_t KAVAPI VokCountStringStyle(void);
int32_t KAVAPI VokGetStringStyle(int16_t style, StringStyle *styleRecord);
int32_t KAVAPI VokGetCurrentBinder(void);
int32_t KAVAPI VokGetNextBinder(int32_t binder);
int32_t KAVAPI VokGetNextSheet(int32_t binder, int32_t *sheet);
/* path and planName: buffers of 256 bytes, moved whole */
int32_t KAVAPI VokGetBinderFilePath(int32_t binder, char *path);
int32_t KAVAPI VokGetBinderPlanName(int32_t binder, char *planName);
int32_t KAVAPI VokSaveBinder(int32_t binder, const char *path);
int32_t KAVAPI VokDeleteBinder(int32_t binder);

/* --------------------------------------------- drawing database and files */
int16_t KAVAPI VokGetDBInfo(DBInfo *dbInfo);
int16_t KAVAPI VokGetSpecificDBInfo(int32_t db, DBInfo *dbInfo);
int16_t KAVAPI VokGetDBInfoEx(DBInfoEx *dbInfoEx);
int32_t KAVAPI VokGetNumberElement(void);
/* The tolerance and block scale getters give 0.0 when the host writes nothing. */
double KAVAPI VokGetEpsLength(void);
int32_t KAVAPI VokSetEpsLength(double epsLength);
double KAVAPI VokGetEpsAngle(void);
int16_t KAVAPI VokSetEpsAngle(double epsAngle);
int16_t KAVAPI VokGetDispDigit(void);
int32_t KAVAPI VokSetDispDigit(int16_t digits);
/* layerMask: array variable whose data holds at least 128 bytes */
int16_t KAVAPI VokGetDBDispLayerMask(SAFEARRAY **layerMask);
int32_t KAVAPI VokSetDBDispLayerMask(SAFEARRAY **layerMask);
int16_t KAVAPI VokGetDBEditLayerMask(SAFEARRAY **layerMask);
int32_t KAVAPI VokSetDBEditLayerMask(SAFEARRAY **layerMask);
int32_t KAVAPI VokGetInputLayer(void);
int32_t KAVAPI VokChangeInputLayer(int16_t layer);
double KAVAPI VokGetLayerBlockScale(int16_t layer);
int32_t KAVAPI VokSetLayerBlockScale(int16_t layer, double scale);
/* layerName: a buffer of 32 bytes, moved whole */
int16_t KAVAPI VokGetLayerName(int16_t layer, char *layerName);
int32_t KAVAPI VokSetLayerName(int16_t layer, const char *layerName);
/* Fill origin and return its address (0 for a null origin). */
PointShape *KAVAPI VokGetDBOrigin1(PointShape *origin);
int32_t KAVAPI VokSetDBOrigin1(const PointShape *origin);
PointShape *KAVAPI VokGetDBOrigin2(PointShape *origin);
int32_t KAVAPI VokSetDBOrigin2(const PointShape *origin);
int32_t KAVAPI VokSetDBInfo(const DBInfo *dbInfo);
int32_t KAVAPI VokSetDBInfoEx(const DBInfoEx *dbInfoEx);
int32_t KAVAPI VokOpenFile(const char *fileName, int16_t openMode);
int32_t KAVAPI VokSaveFile(const char *fileName);
int32_t KAVAPI VokLockCurrentDB(void);
int32_t KAVAPI VokUnlockCurrentDB(void);
int32_t KAVAPI VokCreateDB(const DBInfo *dbInfo);
int32_t KAVAPI VokGetCurrentDBHandle(void);
int32_t KAVAPI VokGetNextDBHandle(int32_t db);
int32_t KAVAPI VokActivateDB(int32_t db);
int32_t KAVAPI VokDeleteDB(int32_t db);
/* blockName: a buffer of 32 bytes, moved whole */
int32_t KAVAPI VokGetBlockName(int32_t selector, int16_t block, char *blockName);
int32_t KAVAPI VokGetCharDispMode(void);

/* ---------------------------------- feedback, host tables, date conversion */
int32_t KAVAPI VokCommandGuide(const char *message);
int32_t KAVAPI VokCommandMode(const char *message);
int32_t KAVAPI VokWarnBeep(void);
int32_t KAVAPI VokErrorBeep(void);
int32_t KAVAPI VokWarnMessage(const char *message);
int32_t KAVAPI VokErrorMessage(const char *message);
int32_t KAVAPI VokConfirmYesNo(void);
int32_t KAVAPI VokEraseAllDigmark(void);
int32_t KAVAPI VokGetCommandID(void);
int32_t KAVAPI VokCopyElement(const CopyParam *copyParam, const CopyOption *copyOption);
int32_t KAVAPI VokCommitDBAccess(void);
int32_t KAVAPI VokSelectCoordinates(int16_t coordinates);
int32_t KAVAPI VokShowHelp(void);
int32_t KAVAPI VokGetRGBColor(int32_t table, int16_t key1, int16_t key2, int32_t *rgb, uint8_t *flag);
int32_t KAVAPI VokCountRGBColor(int32_t table, int16_t *count);
/* pitches: array variable whose data holds at least 96 bytes */
int32_t KAVAPI VokGetLineTypePitch(int32_t table, uint8_t lineType, uint8_t *flag, int16_t *pitchCount,
                                   SAFEARRAY **pitches);
/* lineTypeName: a buffer of 257 bytes, moved whole; 0 without a request when null */
int32_t KAVAPI VokGetLineTypeName(int32_t table, uint8_t lineType, uint8_t *flag, char *lineTypeName);
int32_t KAVAPI VokCountLineType(int32_t table, int16_t *count);
int32_t KAVAPI VokGetLineWidth(int32_t table, uint8_t lineWidth, uint8_t *flag, double *width, int32_t *widthValue);
int32_t KAVAPI VokCountLineWidth(int32_t table, int16_t *count);
/* Seconds since 1970-01-01 UTC <-> OLE Automation date in local time;
   0.0 and -1 for values outside the runtime's range. */
double KAVAPI VokLongToDate(int64_t timeValue);
int64_t KAVAPI VokDateToLong(double dateValue);

/* ----------------------------------------- display and rubber-band drawing */
int32_t KAVAPI VokDisplayPointShape(const PointShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokDisplayLineShape(const LineShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokDisplayCircleShape(const CircleShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokDisplayArcShape(const ArcShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokDisplayEllipseShape(const EllipseShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokDisplayStringShape(const StringShape *shape, const StringAttr *stringAttr);
int32_t KAVAPI VokDisplayElement(int32_t element);
int32_t KAVAPI VokDisplayMark(int32_t mark);
int32_t KAVAPI VokClearElement(int32_t element);
int32_t KAVAPI VokHilightElement(int32_t element, int16_t hilightMode);
int32_t KAVAPI VokHilightMark(int32_t mark, int16_t hilightMode);
int32_t KAVAPI VokDisplayEllArcShape(const EllArcShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokClearMark(int32_t mark);
int32_t KAVAPI VokDisplayAll(void);
int32_t KAVAPI VokDoubleHilightElement(int32_t element, int16_t hilightMode);
int32_t KAVAPI VokDoubleHilightMark(int32_t mark, int16_t hilightMode);
int32_t KAVAPI VokDisplayBSplineShapeIF(const BSplineHeader *header, const BSplineValues *values1,
                                        const BSplinePoints *points, const BSplineValues *values2,
                                        const ElementAttr *attr);
int32_t KAVAPI VokDisplayZoomAll(void);
int32_t KAVAPI VokStartRubber(void);
int32_t KAVAPI VokEndRubber(void);
int32_t KAVAPI VokDrawRubberLine(const LineShape *shape);
int32_t KAVAPI VokDrawRubberLongLine(const LineShape *shape);
int32_t KAVAPI VokDrawRubberCircle(const CircleShape *shape);
int32_t KAVAPI VokDrawRubberArc(const ArcShape *shape);
int32_t KAVAPI VokDrawRubberEllipse(const EllipseShape *shape);
int32_t KAVAPI VokDrawRubberEllArc(const EllArcShape *shape);
int32_t KAVAPI VokDrawRubberMarkElements(const CopyParam *copyParam);
/* Sends nothing and returns 0 for a null text or one of 256 bytes or more. */
int32_t KAVAPI VokDrawRubberString(const StringShape *shape, const StringAttr *stringAttr, const int16_t *exValue1,
                                   const int16_t *exValue2);

/* ------------------------------------------------------ geometry calculation */
/* Tolerances, comparisons, angles, distances, intersections, vectors,
 * matrices and transformations, computed by the host.  Functions that return
 * a double read it from the last 8 bytes of the request after the answer; when
 * the host leaves them untouched the result is the preset noted here.  A null
 * record, array, array data or string variable is refused: 0 (or 0.0), nothing
 * sent. */
double KAVAPI VokCalGetEpsLen(void);                 /* 1e-10 when untouched */
double KAVAPI VokCalGetEpsAng(void);                 /* 1e-05 when untouched */
int32_t KAVAPI VokCalSetEpsLen(double epsLen);
int32_t KAVAPI VokCalSetEpsAng(double epsAng);
int32_t KAVAPI VokCalResetEps(void);
int32_t KAVAPI VokCalEquP(PointShape *point1, PointShape *point2);
int32_t KAVAPI VokCalEquLen(double length1, double length2);
int32_t KAVAPI VokCalCompRad(double angle1, double angle2);
int32_t KAVAPI VokCalInsideRad(double angle, double angle1, double angle2);
int32_t KAVAPI VokCalInsideRect(PointShape *point, LineShape *rect);
/* count is unsigned 16-bit; the first count points of the array travel and
 * come back (the array must hold them: its bounds are not read).  More than
 * 1022 points do not fit and are refused. */
int32_t KAVAPI VokCalInsideConvex(PointShape *point, int16_t count, SAFEARRAY **pointArray);
double KAVAPI VokCalRadToDeg(double angle);          /* 0.0 when untouched */
double KAVAPI VokCalDegToRad(double degrees);        /* 0.0 when untouched */
double KAVAPI VokCalNormRad(double angle);           /* angle when untouched */
double KAVAPI VokCalAngle3P(PointShape *point1, PointShape *point2, PointShape *point3); /* 0.0 when untouched */
int32_t KAVAPI VokCalIntersection(int32_t element1, int32_t element2, ResultPoint *result1, ResultPoint *result2,
                                  ResultPoint *result3, ResultPoint *result4);
int32_t KAVAPI VokCalPerpend(PointShape *point, int32_t element, ResultPoint *result);
int32_t KAVAPI VokCalTangent(PointShape *point, int32_t element, ResultPoint *result1, ResultPoint *result2);
int32_t KAVAPI VokCalCenter3P(PointShape *point1, PointShape *point2, PointShape *point3, PointShape *out);
int32_t KAVAPI VokCalMidP(PointShape *point1, PointShape *point2, PointShape *out);
int32_t KAVAPI VokCalAngularPointOnCircle(CircleShape *circle, double angle, PointShape *out);
int32_t KAVAPI VokCalAngularPointOnEllipse(EllipseShape *ellipse, double angle, PointShape *out);
double KAVAPI VokCalDist2P(PointShape *point1, PointShape *point2);                          /* 0.0 when untouched */
double KAVAPI VokCalDistToLine(PointShape *point1, PointShape *point2, PointShape *point3);   /* 0.0 when untouched */
int32_t KAVAPI VokCalVecOf2P(PointShape *point1, PointShape *point2, PointShape *out);
int32_t KAVAPI VokCalAddVecToPoint(PointShape *point, PointShape *vec, PointShape *out);
int32_t KAVAPI VokCalAddVec(PointShape *vec1, PointShape *vec2, PointShape *out);
int32_t KAVAPI VokCalSubVec(PointShape *vec1, PointShape *vec2, PointShape *out);
int32_t KAVAPI VokCalMultiVec(PointShape *vec, double factor, PointShape *out);
int32_t KAVAPI VokCalUnifyVec(PointShape *vec, PointShape *out);
double KAVAPI VokCalVecLen(PointShape *vec);                          /* 0.0 when untouched */
double KAVAPI VokCalVecAng(PointShape *vec);                          /* 0.0 when untouched */
int32_t KAVAPI VokCalPerpVec(PointShape *vec, PointShape *out);
double KAVAPI VokCalInProduct(PointShape *vec1, PointShape *vec2);    /* 0.0 when untouched */
double KAVAPI VokCalOutProduct(PointShape *vec1, PointShape *vec2);   /* 0.0 when untouched */
double KAVAPI VokCalMatrixDeterminant(TransMatrix *matrix);           /* 0.0 when untouched */
int32_t KAVAPI VokCalMatrixMove(PointShape *offset, TransMatrix *out);
int32_t KAVAPI VokCalMatrixRotate(double angle, TransMatrix *out);
int32_t KAVAPI VokCalMatrixScale(double factor, TransMatrix *out);
int32_t KAVAPI VokCalMatrixMirror(double angle, TransMatrix *out);
int32_t KAVAPI VokCalMultiMatrix(TransMatrix *matrix1, TransMatrix *matrix2, TransMatrix *out);
int32_t KAVAPI VokCalInvMatrix(TransMatrix *matrix, TransMatrix *out);
int32_t KAVAPI VokCalTransCoord(PointShape *point, TransMatrix *matrix, PointShape *out);
double KAVAPI VokCalTransAngle(double angle, TransMatrix *matrix);    /* angle when untouched */
int32_t KAVAPI VokCalTransPoint(PointShape *point, TransMatrix *matrix, PointShape *out);
int32_t KAVAPI VokCalTransLine(LineShape *shape, TransMatrix *matrix, LineShape *out);
int32_t KAVAPI VokCalTransCircle(CircleShape *shape, TransMatrix *matrix, CircleShape *out);
int32_t KAVAPI VokCalTransArc(ArcShape *shape, TransMatrix *matrix, ArcShape *out);
int32_t KAVAPI VokCalTransEllipse(EllipseShape *shape, TransMatrix *matrix, EllipseShape *out);
int32_t KAVAPI VokCalTransEllArc(EllArcShape *shape, TransMatrix *matrix, EllArcShape *out);
/* Both StringShapes travel whole (20 bytes) and come back whole: the host must
 * leave their text references (bytes 16 to 19) as it found them.  The texts
 * themselves are not sent. */
int32_t KAVAPI VokCalTransString(StringShape *shape, StringAttr *stringAttr, TransMatrix *matrix,
                                 StringShape *outShape, StringAttr *outStringAttr);
/* At most the first 256 bytes of the text are counted. */
int32_t KAVAPI VokCalNumOfChar(BSTR *text);
double KAVAPI VokCalAngle2P(PointShape *point1, PointShape *point2);  /* 0.0 when untouched */
int32_t KAVAPI VokCalInsideLine(LineShape *line, PointShape *point);
int32_t KAVAPI VokCalInsideArc(ArcShape *arc, PointShape *point);
int32_t KAVAPI VokCalInsideEllArc(EllArcShape *ellArc, PointShape *point);
int32_t KAVAPI VokCalIntOfALineALine(PointShape *pointA, double angleA, PointShape *pointB, double angleB,
                                     PointShape *out);
int32_t KAVAPI VokCalIntOfLineLine(PointShape *lineA1, PointShape *lineA2, PointShape *lineB1, PointShape *lineB2,
                                   PointShape *out);
int32_t KAVAPI VokCalIntOfLineCircle(PointShape *linePoint1, PointShape *linePoint2, PointShape *center,
                                     double radius, PointShape *out1, PointShape *out2);
int32_t KAVAPI VokCalIntOfCircleCircle(PointShape *centerA, double radiusA, PointShape *centerB, double radiusB,
                                       PointShape *out1, PointShape *out2);
int32_t KAVAPI VokCalIntOfLineElli(PointShape *linePoint1, PointShape *linePoint2, PointShape *center,
                                   double radius1, double radius2, double axisAngle, PointShape *out1,
                                   PointShape *out2);
int32_t KAVAPI VokCalIntOfCircleElli(PointShape *centerA, double radiusA, PointShape *centerB, double radiusB1,
                                     double radiusB2, double axisAngleB, PointShape *out1, PointShape *out2,
                                     PointShape *out3, PointShape *out4);
int32_t KAVAPI VokCalIntOfElliElli(PointShape *centerA, double radiusA1, double radiusA2, double axisAngleA,
                                   PointShape *centerB, double radiusB1, double radiusB2, double axisAngleB,
                                   PointShape *out1, PointShape *out2, PointShape *out3, PointShape *out4);

/* ------------------------------------------------------ B-spline calculation */
/* A B-spline is four blocks (header, values, points, values) that always
 * travel whole, 3,548 bytes.  count is unsigned 16-bit and names the first
 * count points of pointArray; a point list that does not fit the request is
 * refused.  outArray receives a fixed table whatever the number of results:
 * its data must hold 100 PointShapes (100 ArcShapes for
 * VokCalNumArcsOnBSplineIF).  The library reads neither the bounds nor the
 * element size of an array, so it cannot check that the caller's array is
 * that large (or holds count points): that is the caller's to ensure. */
int32_t KAVAPI VokCalFitBSplineCurveIF(SAFEARRAY **pointArray, int16_t count, int16_t option1, PointShape *vec1,
                                       int16_t option2, PointShape *vec2, BSplineHeader *header,
                                       BSplineValues *values1, BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokCalFitBSplineCurveClosedIF(SAFEARRAY **pointArray, int16_t count, BSplineHeader *header,
                                             BSplineValues *values1, BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokCalFitBSplineCurve2IF(int16_t option, SAFEARRAY **pointArray, int16_t count, BSplineHeader *header,
                                        BSplineValues *values1, BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokCalFitBSplineCurveClosed2IF(int16_t option, SAFEARRAY **pointArray, int16_t count,
                                              BSplineHeader *header, BSplineValues *values1, BSplinePoints *points,
                                              BSplineValues *values2);
int32_t KAVAPI VokCalSmoothBSplineCurveIF(int16_t option1, int16_t option2, SAFEARRAY **pointArray, int16_t count,
                                          BSplineHeader *header, BSplineValues *values1, BSplinePoints *points,
                                          BSplineValues *values2);
int32_t KAVAPI VokCalSmoothBSplineCurveClosedIF(int16_t option1, int16_t option2, SAFEARRAY **pointArray,
                                                int16_t count, BSplineHeader *header, BSplineValues *values1,
                                                BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokCalTransBSplineIF(BSplineHeader *header, BSplineValues *values1, BSplinePoints *points,
                                    BSplineValues *values2, TransMatrix *matrix, BSplineHeader *outHeader,
                                    BSplineValues *outValues1, BSplinePoints *outPoints, BSplineValues *outValues2);
int32_t KAVAPI VokCalIntOfLineBSplineIF(LineShape *line, BSplineHeader *header, BSplineValues *values1,
                                        BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalIntOfCircleBSplineIF(CircleShape *circle, BSplineHeader *header, BSplineValues *values1,
                                          BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalIntOfArcBSplineIF(ArcShape *arc, BSplineHeader *header, BSplineValues *values1,
                                       BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalIntOfElliBSplineIF(EllipseShape *ellipse, BSplineHeader *header, BSplineValues *values1,
                                        BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalIntOfEllArcBSplineIF(EllArcShape *ellArc, BSplineHeader *header, BSplineValues *values1,
                                          BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalIntOfBSplineBSplineIF(BSplineHeader *headerA, BSplineValues *valuesA1, BSplinePoints *pointsA,
                                           BSplineValues *valuesA2, BSplineHeader *headerB, BSplineValues *valuesB1,
                                           BSplinePoints *pointsB, BSplineValues *valuesB2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalPerpToBSplineIF(PointShape *point, BSplineHeader *header, BSplineValues *values1,
                                     BSplinePoints *points, BSplineValues *values2, SAFEARRAY **outArray);
int32_t KAVAPI VokCalClosestOnBSplineIF(PointShape *point, BSplineHeader *header, BSplineValues *values1,
                                        BSplinePoints *points, BSplineValues *values2, PointShape *out);
int32_t KAVAPI VokCalNumPntsOnBSplineIF(BSplineHeader *header, BSplineValues *values1, BSplinePoints *points,
                                        BSplineValues *values2, int16_t number, SAFEARRAY **outArray);
int32_t KAVAPI VokCalNumArcsOnBSplineIF(BSplineHeader *header, BSplineValues *values1, BSplinePoints *points,
                                        BSplineValues *values2, int16_t number, SAFEARRAY **outArray);
/* The curve is only sent; nothing is copied back. */
int32_t KAVAPI VokCalNumOfSegmentsOnBSplineIF(const BSplineHeader *header, const BSplineValues *values1,
                                              const BSplinePoints *points, const BSplineValues *values2);

/* ------------------------------------------------------------ element access */
int32_t KAVAPI VokGetIndex(int32_t handle, int32_t number);
int32_t KAVAPI VokGetElementType(int32_t element);
int32_t KAVAPI VokGetElementLayer(int32_t element);
int32_t KAVAPI VokChangeElementLayer(int32_t element, int16_t layer);
int32_t KAVAPI VokDeleteElement(int32_t element);
int32_t KAVAPI VokGetPointShape(int32_t element, PointShape *shape);
int32_t KAVAPI VokGetLineShape(int32_t element, LineShape *shape);
int32_t KAVAPI VokGetCircleShape(int32_t element, CircleShape *shape);
int32_t KAVAPI VokGetArcShape(int32_t element, ArcShape *shape);
int32_t KAVAPI VokGetEllipseShape(int32_t element, EllipseShape *shape);
int32_t KAVAPI VokGetEllArcShape(int32_t element, EllArcShape *shape);
/* shape->text names a buffer of at least 256 bytes; all 256 are written. */
int32_t KAVAPI VokGetStringShape(int32_t element, StringShape *shape);
int32_t KAVAPI VokGetBSplineShapeIF(int32_t element, BSplineHeader *header, BSplineValues *values1,
                                    BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokCreatePoint(PointShape *shape);
int32_t KAVAPI VokCreateLine(LineShape *shape);
int32_t KAVAPI VokCreateLongLine(LineShape *shape);
int32_t KAVAPI VokCreateCircle(CircleShape *shape);
int32_t KAVAPI VokCreateArc(ArcShape *shape);
int32_t KAVAPI VokCreateEllipse(EllipseShape *shape);
int32_t KAVAPI VokCreateEllArc(EllArcShape *shape);
/* The text functions refuse (0) a null text or one of 256 bytes or more. */
int32_t KAVAPI VokCreateString(const StringShape *shape);
int32_t KAVAPI VokCreateBSplineIF(const BSplineHeader *header, const BSplineValues *values1,
                                  const BSplinePoints *points, const BSplineValues *values2);
int32_t KAVAPI VokAppendPoint(const PointShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendLine(const LineShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendLongLine(const LineShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendCircle(const CircleShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendArc(const ArcShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendEllipse(const EllipseShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendEllArc(const EllArcShape *shape, const ElementAttr *attr);
int32_t KAVAPI VokAppendString(const StringShape *shape, const StringAttr *stringAttr);
int32_t KAVAPI VokAppendBSplineIF(const BSplineHeader *header, const BSplineValues *values1,
                                  const BSplinePoints *points, const BSplineValues *values2,
                                  const ElementAttr *attr);
/* fontName: at most 31 bytes are used; a null name is refused (0). */
int32_t KAVAPI VokAppendStringEx(const StringShape *shape, const StringAttr *stringAttr, int16_t exValue1,
                                 int16_t exValue2, const char *fontName);
int32_t KAVAPI VokChangePoint(int32_t element, const PointShape *shape);
int32_t KAVAPI VokChangeLine(int32_t element, const LineShape *shape);
int32_t KAVAPI VokChangeLongLine(int32_t element, const LineShape *shape);
int32_t KAVAPI VokChangeCircle(int32_t element, const CircleShape *shape);
int32_t KAVAPI VokChangeArc(int32_t element, const ArcShape *shape);
int32_t KAVAPI VokChangeEllipse(int32_t element, const EllipseShape *shape);
int32_t KAVAPI VokChangeEllArc(int32_t element, const EllArcShape *shape);
int32_t KAVAPI VokChangeString(int32_t element, const StringShape *shape);
int32_t KAVAPI VokChangeBSplineIF(int32_t element, BSplineHeader *header, BSplineValues *values1,
                                  BSplinePoints *points, BSplineValues *values2);
int32_t KAVAPI VokGetElementAttr(int32_t element, ElementAttr *attr);
int32_t KAVAPI VokGetStringAttr(int32_t element, StringAttr *stringAttr);
int32_t KAVAPI VokChangeElementAttr(int32_t element, const ElementAttr *attr);
int32_t KAVAPI VokChangeStringAttr(int32_t element, const StringAttr *stringAttr);
int32_t KAVAPI VokGetSubcode(int32_t element);
int32_t KAVAPI VokChangeSubcode(int32_t element, int16_t subcode);
int32_t KAVAPI VokGetStringAttrEx(int32_t element, int16_t *exValue1, int16_t *exValue2);
int32_t KAVAPI VokChangeStringAttrEx(int32_t element, int16_t exValue1, int16_t exValue2);
int32_t KAVAPI VokGetStringSBox(int32_t element, StringSBox *box);
int32_t KAVAPI VokGetElementCmdID(int32_t element);
int32_t KAVAPI VokChangeElementCmdID(int32_t element, int16_t cmdId);
int32_t KAVAPI VokAppendPolylineInfo(int32_t element, const PolylineInfo *info);
int32_t KAVAPI VokGetPolylineInfo(int32_t element, PolylineInfo *info);
int32_t KAVAPI VokDeletePolylineInfo(int32_t element);
int32_t KAVAPI VokAssignLink(void);
int32_t KAVAPI VokFreeLink(int32_t link);
int32_t KAVAPI VokLinkElement(int32_t link, int32_t element);
int32_t KAVAPI VokSeekLinkedElement(int32_t link, int32_t element);
/* A new string the caller frees; 32 bytes starting with a zero byte when the host fails. */
BSTR KAVAPI VokGetStringFont(int32_t element);
/* fontName: at most 31 bytes are used; a null name is refused (0). */
int32_t KAVAPI VokChangeStringFont(int32_t element, const char *fontName);

/* ---------------------------------------------------------------- dimensions */
/* Point-list functions: count is a signed 16-bit number (the lParam is its
 * sign-extended value) naming count PointShapes from points (the caller's run
 * must be that long); a negative count or one whose points do not fit the
 * request is refused.  The payload carries
 * position before the values.  Dimension texts are sent up to their first zero
 * byte; a null text is refused. */
int32_t KAVAPI VokRubberHorizontalDimIF(int16_t count, const PointShape *points, const PointShape *position);
int32_t KAVAPI VokCreateHorizontalDimIF(int16_t count, const PointShape *points, const PointShape *position);
int32_t KAVAPI VokRubberVerticalDimIF(int16_t count, const PointShape *points, const PointShape *position);
int32_t KAVAPI VokCreateVerticalDimIF(int16_t count, const PointShape *points, const PointShape *position);
int32_t KAVAPI VokRubberLinearDimIF(int16_t count, const PointShape *points, const double *value,
                                    const PointShape *position);
int32_t KAVAPI VokCreateLinearDimIF(int16_t count, const PointShape *points, const double *value,
                                    const PointShape *position);
int32_t KAVAPI VokRubberChamferDim(int32_t element, int16_t option, const PointShape *position);
int32_t KAVAPI VokCreateChamferDim(int32_t element, int16_t option, const PointShape *position);
int32_t KAVAPI VokRubberDiameterDim(int32_t element, int16_t option1, PointShape *position, int16_t option2,
                                    double *value);
int32_t KAVAPI VokCreateDiameterDim(int32_t element, int16_t option1, PointShape *position, int16_t option2,
                                    double *value);
int32_t KAVAPI VokRubberRadiusDim(int32_t element, int16_t option1, PointShape *position, int16_t option2,
                                  double *value);
int32_t KAVAPI VokCreateRadiusDim(int32_t element, int16_t option1, PointShape *position, int16_t option2,
                                  double *value);
int32_t KAVAPI VokRubberAngularDim(int32_t element1, int32_t element2, int16_t option1, PointShape *position,
                                   int16_t option2, int16_t option3, double *value);
int32_t KAVAPI VokCreateAngularDim(int32_t element1, int32_t element2, int16_t option1, PointShape *position,
                                   int16_t option2, int16_t option3, double *value);
int32_t KAVAPI VokRubberOffsetDim(int32_t element1, int32_t element2, int16_t option, PointShape *position);
int32_t KAVAPI VokCreateOffsetDim(int32_t element1, int32_t element2, int16_t option, PointShape *position);
int32_t KAVAPI VokRubberArcLengDim(int32_t element, int16_t option1, PointShape *point1, PointShape *point2,
                                   PointShape *point3, int16_t option2, int16_t option3, double *value);
int32_t KAVAPI VokCreateArcLengDim(int32_t element, int16_t option1, PointShape *point1, PointShape *point2,
                                   PointShape *point3, int16_t option2, int16_t option3, double *value);
int32_t KAVAPI VokResolveDimGroup(int32_t dimGroup);
int32_t KAVAPI VokSetDimPrefix(const char *text);
int32_t KAVAPI VokSetDimSuffix(const char *text);
int32_t KAVAPI VokSetDimString(const char *text);
int32_t KAVAPI VokSetDimValue(double value);
int32_t KAVAPI VokSetDimTolerance(int32_t kind, const char *text1, const char *text2, const char *text3);
int32_t KAVAPI VokDimCenterModeOn(void);
int32_t KAVAPI VokDimCenterModeOff(void);
int32_t KAVAPI VokResetDimModifiers(void);
int32_t KAVAPI VokChangeDimText(int32_t element, const char *text);
int32_t KAVAPI VokChangeDimTextSize(int32_t element, double size);
int32_t KAVAPI VokChangeDimTextPos(int32_t element, const PointShape *position);
/* The dimension attributes in five blocks (340 bytes), moved whole.  Both
 * return minus the low 16 bits of the host's answer: 1 gives -1. */
int32_t KAVAPI VokGetDimAttr(ElementAttr *block1, ElementAttr *block2, StringAttr *block3, DimAttrBlock4 *block4,
                             DimAttrBlock5 *block5);
int32_t KAVAPI VokSetDimAttr(const ElementAttr *block1, const ElementAttr *block2, const StringAttr *block3,
                             const DimAttrBlock4 *block4, const DimAttrBlock5 *block5);
int32_t KAVAPI VokCreateSlantDimIF(int16_t count, const PointShape *points, const double *value1,
                                   const PointShape *position, const double *value2);

/* ------------------------------------------------------------- CSB panels */
int32_t KAVAPI VokCreateCSB(int16_t csbID, const char *text1, const char *text2, int16_t setting);
int32_t KAVAPI VokComposeCSB(int32_t csbHandle);
int32_t KAVAPI VokDestroyCSB(int32_t csbHandle);
/* The panel's handle, 0 when there is no panel numbered csbID. */
int32_t KAVAPI VokGetCSBHandle(int16_t csbID);
int32_t KAVAPI VokCreatePushButton(int32_t csbHandle, int16_t itemID, const char *text);
int32_t KAVAPI VokCreateCheckButton(int32_t csbHandle, int16_t itemID, const char *text);
int32_t KAVAPI VokCreateRadioButton(int32_t csbHandle, int16_t itemID, const char *text);
int32_t KAVAPI VokCreatePullBox(int32_t csbHandle, int16_t itemID, const char *text);
int32_t KAVAPI VokCreateIntegerBox(int32_t csbHandle, int16_t itemID, int16_t setting, const char *text);
int32_t KAVAPI VokCreateRealBox(int32_t csbHandle, int16_t itemID, int16_t setting1, int16_t setting2,
                                const char *text);
int32_t KAVAPI VokCreateTextBox(int32_t csbHandle, int16_t itemID, const char *text);
int32_t KAVAPI VokGetButtonStatus(int32_t csbHandle, int16_t itemID, ButtonStatus *status);
int32_t KAVAPI VokGetPullBoxStatus(int32_t csbHandle, int16_t itemID, int16_t *value);
int32_t KAVAPI VokGetIntegerBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus *status);
int32_t KAVAPI VokGetRealBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus *status);
int32_t KAVAPI VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus *status);
int32_t KAVAPI VokSetButtonStatus(int32_t csbHandle, int16_t itemID, const ButtonStatus *status);
int32_t KAVAPI VokSetPullBoxStatus(int32_t csbHandle, int16_t itemID, int16_t value);
int32_t KAVAPI VokSetIntegerBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus *status);
int32_t KAVAPI VokSetRealBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus *status);
int32_t KAVAPI VokSetTextBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus *status);
int32_t KAVAPI VokEnableCSBPart(int32_t csbHandle, int16_t itemID);
int32_t KAVAPI VokDisableCSBPart(int32_t csbHandle, int16_t itemID);
int32_t KAVAPI VokCSBSetFocus(int32_t csbHandle, int16_t itemID);

/* -------------------------------------------------------- element properties */
/*
 * Typed properties of elements (by name).  The getters write their outputs
 * whatever the answer; when the host writes nothing they receive the
 * request's own bytes (VokGetPropertyOfString: the name).  A text comes back
 * up to its first zero byte within 256 bytes, so store texts of at most 255
 * characters.
 */
int32_t KAVAPI VokAppendPropertyOfLong(int32_t element, const char *name, int32_t value);
int32_t KAVAPI VokAppendPropertyOfDouble(int32_t element, const char *name, double value);
int32_t KAVAPI VokAppendPropertyOfString(int32_t element, const char *name, const char *value);
int16_t KAVAPI VokGetPropertyOfLong(int32_t element, const char *name, int32_t *value);
int16_t KAVAPI VokGetPropertyOfDouble(int32_t element, const char *name, double *value);
int16_t KAVAPI VokGetPropertyOfString(int32_t element, const char *name, BSTR *value);
int32_t KAVAPI VokDeletePropertyOfLong(int32_t element, const char *name);
int32_t KAVAPI VokDeletePropertyOfDouble(int32_t element, const char *name);
int32_t KAVAPI VokDeletePropertyOfString(int32_t element, const char *name);
/*
 * Tagged properties of elements (by tag and name), holding bytes.
 * VokAppendProperty sends size + 1 bytes from data, so a text stored with
 * size = its length keeps its terminator; data must hold size + 1 bytes
 * (a negative size is refused).  VokMarkProperty copies the name's bytes back
 * into name.  The readers (VokReadPropertyIndex, VokGetPropertyOfAny,
 * VokGetAnyPropertyOfString) change their outputs only on a nonzero 16-bit
 * answer.
 * VokGetPropertyOfAny copies as many bytes as the host's record says, from
 * the data address the host gives (memory of this process), into data: the
 * library cannot know how large data is, so it must hold the property's whole
 * size.  VokGetAnyPropertyOfString reads the text at that address up to its
 * zero byte (at most 16380 bytes).  Both return 0 and deliver nothing when
 * that memory cannot be read or written.
 */
int32_t KAVAPI VokAppendProperty(int32_t element, int32_t tag, const char *name, int32_t size, const void *data);
int32_t KAVAPI VokMarkProperty(int32_t element, int32_t tag, char *name, int32_t *value);
int16_t KAVAPI VokReadPropertyIndex(int32_t element, int32_t index, int32_t *tag, int32_t *nameLength, BSTR *name);
int16_t KAVAPI VokGetPropertyOfAny(int32_t element, int32_t tag, const char *name, int32_t *size, void *data);
int16_t KAVAPI VokGetAnyPropertyOfString(int32_t element, int32_t tag, const char *name, int32_t *length, BSTR *value);
int32_t KAVAPI VokDeleteProperty(int32_t element, int32_t tag, const char *name);
/*
 * Database properties.  Names of more than 33 characters are refused (0,
 * nothing sent); VokAppendDBPropertyOfString also refuses an empty name and a
 * value of more than 255 characters.  VokGetDBPropertyOfString fills value
 * only when the 16-bit answer is -1.
 */
int32_t KAVAPI VokAppendDBPropertyOfLong(int32_t db, int32_t tag, const char *name, int32_t value);
int32_t KAVAPI VokGetDBPropertyOfLong(int32_t db, int32_t tag, const char *name, int32_t *value);
int32_t KAVAPI VokAppendDBPropertyOfString(int32_t db, int32_t tag, const char *name, const char *value);
int16_t KAVAPI VokGetDBPropertyOfString(int32_t db, int32_t tag, const char *name, BSTR *value);

/* -------------------------------------------------- selection and detection */
int32_t KAVAPI VokGetEventMask(void);
int32_t KAVAPI VokSetEventMask(int32_t eventMask);
int32_t KAVAPI VokSetOptionDetectablePosition(int32_t value);
int32_t KAVAPI VokSetOptionElementType(int32_t mode, int32_t value);
/* count subcodes of 2 bytes at subcodes; a negative count or one above 8190 is refused. */
int32_t KAVAPI VokSetOptionSubcodeEx(int16_t mode, int16_t count, const int16_t *subcodes);
int32_t KAVAPI VokSetOptionColor(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionLinestyle(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionLinewidth(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionTermtype(int32_t mode, int32_t value1, int32_t value2);
/*
 * At most 10 entries: tags[i] and the name names[i] points to.  A count
 * above 10 (or negative) and a null name are refused; a name longer than
 * 31 characters is cut to 31.
 */
int32_t KAVAPI VokSetOptionPropertiesEx(int32_t mode, int16_t count, const int32_t *tags, const char *const *names);
/* Sends the first 128 bytes of the array's data; the array must hold them. */
int32_t KAVAPI VokSetOptionDetectableLayer(int32_t mode, SAFEARRAY **layerMask);
int32_t KAVAPI VokSetOptionGroupDetection(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionDimGroupDetection(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionPartDetection(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionRestrictiveElements(int32_t mode, int32_t value);
int32_t KAVAPI VokSetOptionSelectiveOperation(int32_t value);
int32_t KAVAPI VokSetOptionBoxingMode(int32_t value);
int32_t KAVAPI VokSetOptionOperation(int32_t value);
int32_t KAVAPI VokSetOptionSystemInfo(int32_t value);
int32_t KAVAPI VokSetOptionDetectableLayerScale(int32_t value);
int32_t KAVAPI VokSetOptionCheckButton(int32_t value);
int32_t KAVAPI VokSetOptionPreparedLayer(int32_t mode, int16_t value);
/* value comes back from the host whatever the answer. */
int16_t KAVAPI VokSelectCSB(int32_t *value);
int32_t KAVAPI VokSetSelectElementType(int32_t value);
int32_t KAVAPI VokSetSelectColor(int32_t value);
int32_t KAVAPI VokSetSelectLineStyle(int32_t value);
int32_t KAVAPI VokSetSelectLineWidth(int32_t value);
int32_t KAVAPI VokSetSelectTermType(int16_t value1, int16_t value2);
/* The first count 16-bit values of the array's data; a negative count is refused. */
int32_t KAVAPI VokSetSelectSubcode(int16_t count, SAFEARRAY **subcodes);
int32_t KAVAPI VokSetSelectGroupDetection(int32_t value);
int32_t KAVAPI VokSetSelectDimGroupDetection(int32_t value);
int32_t KAVAPI VokSetSelectPartDetection(int32_t value);
int32_t KAVAPI VokSelectCSBBySegregateMark(int32_t *value1, int32_t *value2, Record32 *record);
int32_t KAVAPI VokDetectElementsByRect(PointShape *corner1, PointShape *corner2, int32_t *value1, int32_t *value2);
int32_t KAVAPI VokSearchElements(void);

/* --------------------------------------------------------- marks and groups */
int32_t KAVAPI VokAssignMark(void);
int32_t KAVAPI VokFreeMark(int32_t mark);
int32_t KAVAPI VokOpenMark(int32_t mark);
int32_t KAVAPI VokCloseMark(int32_t mark);
int32_t KAVAPI VokReadMark(int32_t mark);
int32_t KAVAPI VokMarkElement(int32_t mark, int32_t element, int16_t flag);
int32_t KAVAPI VokMarkAllElements(int32_t mark, int16_t flag);
int32_t KAVAPI VokDeleteMarkElements(int32_t mark);
int32_t KAVAPI VokCountMarkElements(int32_t mark);
int32_t KAVAPI VokCheckMarkElement(int32_t mark, int32_t element);
int32_t KAVAPI VokCreateGroup(int32_t value);
int32_t KAVAPI VokResolveGroup(int32_t group);
int32_t KAVAPI VokGetGroupFirstMember(int32_t group);
int32_t KAVAPI VokGetGroupNextMember(int32_t value);
int32_t KAVAPI VokAppendGroupMember(int32_t group, int32_t element);
int32_t KAVAPI VokFreeGroupMember(int32_t group, int32_t element);
int32_t KAVAPI VokGetGroupByMember(int32_t element);

/* -------------------------------------------------------- symbols and parts */
/* partName's byte length (its header) is sent as lParam; above 260 bytes it is refused. */
int32_t KAVAPI VokCreatePart(BSTR partName);
int32_t KAVAPI VokPositionPart(int32_t part, const PointShape *position, double real1, double real2, int16_t flag);
int32_t KAVAPI VokResolvePart(int32_t part, int32_t value);
int32_t KAVAPI VokGetPartIndex(int32_t value);
int32_t KAVAPI VokGetFirstPartFigure(int32_t part);
int32_t KAVAPI VokGetNextPartFigure(int32_t value);
/* The attribute getters fill their outputs only when the 16-bit answer is -1. */
int16_t KAVAPI VokGetPartFigureAttr(int32_t figure, PointShape *position, double *real1, double *real2, int16_t *flag);
int32_t KAVAPI VokGetPartFigureByVMember(int32_t value);
int32_t KAVAPI VokResolvePartYesNo(void);
int32_t KAVAPI VokCreateSymbol(int32_t value, const PointShape *position);
/* position (and real3) come back from the host whatever the answer. */
int32_t KAVAPI VokPositionSymbol(int32_t symbol, PointShape *position, double real1, double real2, int32_t value);
int32_t KAVAPI VokPositionSymbolEx(int32_t symbol, PointShape *position, double real1, double real2, double *real3);
int32_t KAVAPI VokResolveSymbol(int32_t symbol);
int32_t KAVAPI VokGetSymbolFirstMember(int32_t symbol);
int32_t KAVAPI VokGetSymbolNextMember(int32_t value);
int32_t KAVAPI VokGetSymbolIndex(int32_t value);
int16_t KAVAPI VokGetSymbolAttr(int32_t symbol, PointShape *position, Record32 *record);
int16_t KAVAPI VokGetSymbolFigureAttr(int32_t figure, PointShape *position, double *real1, double *real2, int16_t *flag);
int32_t KAVAPI VokGetSymbolFirstFigure(int32_t symbol);
int32_t KAVAPI VokGetSymbolNextFigure(int32_t value);
int32_t KAVAPI VokAppendSymbolPoint(int32_t symbol, const PointShape *point);
int32_t KAVAPI VokDeleteSymbolPoint(int32_t symbol, int16_t number);
int32_t KAVAPI VokDeleteAllSymbolPoint(int32_t symbol);
/* Three texts of at most 256 bytes each; filled only on a nonzero 16-bit answer. */
int16_t KAVAPI VokGetPartInfo(int32_t part, BSTR *text1, BSTR *text2, BSTR *text3);
/*
 * Clears both flags; for each washer the host reports sets its flag to -1 and
 * its text to "PWF" or "SLW" followed by the size written as "%g" does.
 */
void KAVAPI VokHasWasher(int32_t part, int16_t *hasPWF, int16_t *hasSLW, BSTR *textPWF, BSTR *textSLW);

#ifdef __cplusplus
}
#endif

#endif /* KAVLINK_H */
