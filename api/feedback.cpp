// Command feedback (guide and mode texts, beeps, messages, confirmation),
// copying elements, the host's tables of colours, line types and line
// widths, and the two local conversions between a count of seconds and an
// OLE Automation date.
//
// In the table requests the segments lie back to back: keys and line kinds
// travel by value (a byte is the low 8 bits of its argument), flags and
// results come back from their own places.
#include "kavlink.h"
#include "request.h"

#include <oleauto.h>
#include <time.h>

using namespace kav::wire;

namespace {
constexpr uint32_t kPitches = 96;
constexpr uint32_t kLineTypeName = 257;

// The last second that the runtime's 64-bit local time accepts:
// 3001-01-01 07:59:59 UTC, the end of the year 3000 in every time zone.
constexpr __time64_t kLastLocalSecond = 32535244799LL;
}  // namespace

int32_t KAVAPI VokCommandGuide(const char* message) { return send(1500, 0, text(message)); }
int32_t KAVAPI VokCommandMode(const char* message) { return send(1501, 0, text(message)); }
int32_t KAVAPI VokWarnBeep() { return send(1502, 0); }
int32_t KAVAPI VokErrorBeep() { return send(1503, 0); }
int32_t KAVAPI VokWarnMessage(const char* message) { return send(1504, 0, text(message)); }
int32_t KAVAPI VokErrorMessage(const char* message) { return send(1505, 0, text(message)); }
int32_t KAVAPI VokConfirmYesNo() { return send(1506, 0); }
int32_t KAVAPI VokEraseAllDigmark() { return send(1507, 0); }
int32_t KAVAPI VokGetCommandID() { return send(1514, 0); }

int32_t KAVAPI VokCopyElement(const CopyParam* copyParam, const CopyOption* copyOption) {
    return gather(1515, 0, rec(copyParam), rec(copyOption));
}

int32_t KAVAPI VokCommitDBAccess() { return send(1525, 0); }
int32_t KAVAPI VokSelectCoordinates(int16_t coordinates) { return send(1532, lpSigned16(coordinates)); }
int32_t KAVAPI VokShowHelp() { return send(1538, 0); }

// key1 at 0, key2 at 2, rgb at 4, flag at 8.
int32_t KAVAPI VokGetRGBColor(int32_t table, int16_t key1, int16_t key2, int32_t* rgb, uint8_t* flag) {
    return scatter(1539, table, val(key1), val(key2), rec(rgb), rec(flag));
}

int32_t KAVAPI VokCountRGBColor(int32_t table, int16_t* count) { return exchange(1540, table, rec(count)); }

// lineType at 0, flag at 1, pitchCount at 2, the 96 pitch bytes at 4.
int32_t KAVAPI VokGetLineTypePitch(int32_t table, uint8_t lineType, uint8_t* flag, int16_t* pitchCount,
                                   SAFEARRAY** pitches) {
    return scatter(1541, table, val(lineType), rec(flag), rec(pitchCount), arrayData(pitches, kPitches));
}

// lineType at 0, flag at 1, the 257-byte name at 2; no name buffer, no request.
int32_t KAVAPI VokGetLineTypeName(int32_t table, uint8_t lineType, uint8_t* flag, char* lineTypeName) {
    return scatter(1542, table, val(lineType), rec(flag), bytes(lineTypeName, kLineTypeName));
}

int32_t KAVAPI VokCountLineType(int32_t table, int16_t* count) { return exchange(1543, table, rec(count)); }

// lineWidth at 0, flag at 1, width at 2, widthValue at 10.
int32_t KAVAPI VokGetLineWidth(int32_t table, uint8_t lineWidth, uint8_t* flag, double* width,
                               int32_t* widthValue) {
    return scatter(1544, table, val(lineWidth), rec(flag), rec(width), rec(widthValue));
}

int32_t KAVAPI VokCountLineWidth(int32_t table, int16_t* count) { return exchange(1545, table, rec(count)); }

// Seconds since 1970-01-01 UTC to an OLE Automation date in local time (the
// machine's time zone and daylight saving apply); 0.0 for a value that the
// runtime's local time does not cover.
double KAVAPI VokLongToDate(int64_t timeValue) {
    if (timeValue < 0 || timeValue > kLastLocalSecond) return 0.0;
    const __time64_t seconds = timeValue;
    const tm* local = _localtime64(&seconds);
    if (local == nullptr) return 0.0;
    SYSTEMTIME calendar{};
    calendar.wYear = static_cast<WORD>(local->tm_year + 1900);
    calendar.wMonth = static_cast<WORD>(local->tm_mon + 1);
    calendar.wDay = static_cast<WORD>(local->tm_mday);
    calendar.wHour = static_cast<WORD>(local->tm_hour);
    calendar.wMinute = static_cast<WORD>(local->tm_min);
    calendar.wSecond = static_cast<WORD>(local->tm_sec);
    double date = 0.0;
    if (!::SystemTimeToVariantTime(&calendar, &date)) return 0.0;
    return date;
}

// An OLE Automation date, read as local standard time, to seconds since
// 1970-01-01 UTC; -1 for a date that cannot be split or lies outside the
// runtime's range (before 1970 or after the year 3000).
int64_t KAVAPI VokDateToLong(double dateValue) {
    int year = -1, month = -1, day = -1, weekDay = -1, hour = -1, minute = -1, second = -1, yearDay = -1;
    SYSTEMTIME calendar{};
    if (::VariantTimeToSystemTime(dateValue, &calendar)) {
        year = calendar.wYear;
        month = calendar.wMonth;
        day = calendar.wDay;
        weekDay = calendar.wDayOfWeek;
        hour = calendar.wHour;
        minute = calendar.wMinute;
        second = calendar.wSecond;
    }
    UDATE unpacked{};
    if (SUCCEEDED(::VarUdateFromDate(dateValue, 0, &unpacked))) yearDay = unpacked.wDayOfYear;

    tm broken{};
    broken.tm_sec = second;
    broken.tm_min = minute;
    broken.tm_hour = hour;
    broken.tm_mday = day;
    broken.tm_mon = month - 1;
    broken.tm_year = year - 1900;
    broken.tm_wday = weekDay;
    broken.tm_yday = yearDay - 1;
    broken.tm_isdst = 0;
    const __time64_t result = _mktime64(&broken);
    return result < 0 || result > kLastLocalSecond ? -1 : result;
}
