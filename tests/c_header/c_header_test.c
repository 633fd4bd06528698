/* A C client of kavlink.h: record layouts as the host lays them out, and
 * calls bound through the import library.  No host window is stored, so
 * every request is answered 0; the refusals send nothing at all. */
#include "kavlink.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

static int failures;
#define CHECK(cond) do { if (!(cond)) { printf("FAILED: %s (line %d)\n", #cond, __LINE__); ++failures; } } while (0)

int main(void) {
    ArcShape arc;
    StringShape shape;
    BoxStatus box;
    BSTR font;

    CHECK(offsetof(ArcShape, arcFlag) == 40);
    CHECK(offsetof(EllArcShape, arcFlag) == 56);
    CHECK(offsetof(StringShape, text) == 16);
    CHECK(offsetof(BoxStatus, text) == 16);

    InitVBCmdLib(NULL, 0);
    /* Unanswered: 0, and the record comes back with the bytes it sent. */
    memset(&arc, 0x5A, sizeof arc);
    CHECK(VokGetArcShape(5, &arc) == 0);
    CHECK(arc.arcFlag == 0x5A5A5A5A);

    memset(&shape, 0, sizeof shape);
    shape.text = NULL;
    CHECK(VokCreateString(&shape) == 0);

    memset(&box, 0, sizeof box);
    CHECK(VokGetTextBoxStatus(VokGetCSBHandle(7), 1, &box) == 0);

    font = VokGetStringFont(5);
    CHECK(font != NULL && SysStringByteLen(font) == 32 && ((const char *)font)[0] == 0);
    SysFreeString(font);

    if (failures == 0) printf("c_header_test: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
