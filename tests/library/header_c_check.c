/* The public header must be valid C: this unit includes it in a C
 * compilation and takes the address of a few functions, so that a prototype
 * that C cannot read breaks the build. */
#include "kavlink.h"

typedef int16_t(KAVAPI *DBInfoGetter)(DBInfo *);
typedef double(KAVAPI *DateFromSeconds)(int64_t);

int kav_header_c_check(void) {
    DBInfoGetter getInfo = VokGetDBInfo;
    DateFromSeconds toDate = VokLongToDate;
    return getInfo != 0 && toDate != 0 && sizeof(StringShape) == 20;
}
