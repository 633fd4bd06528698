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

/* ---------------------------------------------------------------- dimensions */

/* ------------------------------------------------------------- CSB panels */
int32_t KAVAPI VokGetCSBHandle(int16_t csbID);
int32_t KAVAPI VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus *status);

/* -------------------------------------------------------- element properties */

/* -------------------------------------------------- selection and detection */

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

#ifdef __cplusplus
}
#endif

#endif /* KAVLINK_H */
