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

/* --------------------------------------------- drawing database and files */

/* ---------------------------------- feedback, host tables, date conversion */

/* ----------------------------------------- display and rubber-band drawing */

/* ------------------------------------------------------ geometry calculation */

/* ------------------------------------------------------ B-spline calculation */

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
