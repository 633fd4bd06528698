// System attributes (the host-wide element and string attributes and the pair
// of extended string values), the host's string style table, and binders with
// their sheets.  Binder texts travel in 256-byte buffers moved whole.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

namespace {
constexpr uint32_t kBinderText = 256;
}

int32_t KAVAPI VokGetSystemElementAttr(ElementAttr* attr) { return exchange(1100, 0, rec(attr)); }
int32_t KAVAPI VokSetSystemElementAttr(const ElementAttr* attr) { return send(1101, 0, rec(attr)); }
int32_t KAVAPI VokGetSystemStringAttr(StringAttr* stringAttr) { return exchange(1102, 0, rec(stringAttr)); }
int32_t KAVAPI VokSetSystemStringAttr(const StringAttr* stringAttr) { return send(1103, 0, rec(stringAttr)); }

int32_t KAVAPI VokGetSystemStringAttrEx(int16_t* exValue1, int16_t* exValue2) {
    return scatter(1104, 0, rec(exValue1), rec(exValue2));
}

// The first value travels in lParam, the second as the 2 payload bytes.
int32_t KAVAPI VokSetSystemStringAttrEx(int16_t exValue1, int16_t exValue2) {
    return send(1105, lp16(exValue1), val(exValue2));
}

int32_t KAVAPI VokCountStringStyle() { return exchange(1106, 0); }

int32_t KAVAPI VokGetStringStyle(int16_t style, StringStyle* styleRecord) {
    return exchange(1107, lpSigned16(style), rec(styleRecord));
}

int32_t KAVAPI VokGetCurrentBinder() { return send(2140, 0); }
int32_t KAVAPI VokGetNextBinder(int32_t binder) { return send(2141, binder); }
int32_t KAVAPI VokGetNextSheet(int32_t binder, int32_t* sheet) { return exchange(2142, binder, rec(sheet)); }

int32_t KAVAPI VokGetBinderFilePath(int32_t binder, char* path) {
    return exchange(2143, binder, bytes(path, kBinderText));
}

int32_t KAVAPI VokGetBinderPlanName(int32_t binder, char* planName) {
    return exchange(2144, binder, bytes(planName, kBinderText));
}

// The whole buffer is sent, whatever the length of the text in it.
int32_t KAVAPI VokSaveBinder(int32_t binder, const char* path) {
    return send(2145, binder, bytes(path, kBinderText));
}

int32_t KAVAPI VokDeleteBinder(int32_t binder) { return send(2146, binder); }
