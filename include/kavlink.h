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

/* ------------------------------------------------------ B-spline calculation */

/* ------------------------------------------------------------ element access */

/* ---------------------------------------------------------------- dimensions */

/* ------------------------------------------------------------- CSB panels */
int32_t KAVAPI VokGetCSBHandle(int16_t csbID);
int32_t KAVAPI VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus *status);

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
