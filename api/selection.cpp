// The event mask, detection options, select options and direct selection
// requests.  Options travel as lParam or as 4 payload bytes; the subcode
// lists and the term types pack two 16-bit values into the lParam.  The
// properties filter builds a table of fixed 32-byte name fields, and
// VokSelectCSB reads its value back whatever the answer.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

#include <cstring>

using namespace kav::wire;

namespace {

constexpr uint16_t kMaxFilterProperties = 10;
constexpr uint32_t kNameField = 32;  // 31 characters and at least one zero
constexpr uint32_t kLayerMaskBytes = 128;

}  // namespace

int32_t KAVAPI VokGetEventMask() { return send(1900, 0); }
int32_t KAVAPI VokSetEventMask(int32_t eventMask) { return send(1901, eventMask); }
int32_t KAVAPI VokSetOptionDetectablePosition(int32_t value) { return send(1902, value); }

int32_t KAVAPI VokSetOptionElementType(int32_t mode, int32_t value) {
    return send(1903, mode, val(value));
}

int32_t KAVAPI VokSetOptionSubcodeEx(int16_t mode, int16_t count, const int16_t* subcodes) {
    return send(1904, lpPacked(mode, count), items(subcodes, count));
}

int32_t KAVAPI VokSetOptionColor(int32_t mode, int32_t value) { return send(1905, mode, val(value)); }
int32_t KAVAPI VokSetOptionLinestyle(int32_t mode, int32_t value) { return send(1906, mode, val(value)); }
int32_t KAVAPI VokSetOptionLinewidth(int32_t mode, int32_t value) { return send(1907, mode, val(value)); }

int32_t KAVAPI VokSetOptionTermtype(int32_t mode, int32_t value1, int32_t value2) {
    return gather(1908, mode, val(value1), val(value2));
}

// Payload: 2 bytes of count, the count tags, then one 32-byte name field per
// entry.  A count above 10 (a negative one too, read unsigned) is refused; so
// is a null or unreadable name, and a name longer than 31 bytes is cut so
// that its field ends in a zero byte (at 30 bytes where the 31st would be
// the first half of a double-byte character).
int32_t KAVAPI VokSetOptionPropertiesEx(int32_t mode, int16_t count, const int32_t* tags, const char* const* names) {
    const uint16_t entries = static_cast<uint16_t>(count);
    if (entries > kMaxFilterProperties) return 0;
    if (entries == 0) return gather(1909, mode, val(count));

    char fields[kMaxFilterProperties][kNameField] = {};
    Seg segs[2 + kMaxFilterProperties] = {val(count), items(tags, entries)};
    for (uint16_t i = 0; i < entries; ++i) {
        const char* name = nullptr;
        if (!kav::guardedLoad(names + i, name)) return 0;
        const int64_t length = textLength(name, kNameField - 1);
        if (length < 0 || !kav::guardedCopy(fields[i], name, static_cast<uint32_t>(length))) return 0;
        if (length == kNameField - 1) fields[i][kav::wholeCharacterLength(fields[i], kNameField - 1)] = '\0';
        segs[2 + i] = bytes(fields[i], kNameField);
    }
    return tryGatherList(1909, mode, segs, 2 + entries).value_or(0);
}

int32_t KAVAPI VokSetOptionDetectableLayer(int32_t mode, SAFEARRAY** layerMask) {
    return send(1910, mode, arrayData(layerMask, kLayerMaskBytes));
}

int32_t KAVAPI VokSetOptionGroupDetection(int32_t mode, int32_t value) { return send(1911, mode, val(value)); }
int32_t KAVAPI VokSetOptionDimGroupDetection(int32_t mode, int32_t value) { return send(1912, mode, val(value)); }
int32_t KAVAPI VokSetOptionPartDetection(int32_t mode, int32_t value) { return send(1913, mode, val(value)); }
int32_t KAVAPI VokSetOptionRestrictiveElements(int32_t mode, int32_t value) { return send(1914, mode, val(value)); }

int32_t KAVAPI VokSetOptionSelectiveOperation(int32_t value) { return send(1915, value); }
int32_t KAVAPI VokSetOptionBoxingMode(int32_t value) { return send(1916, value); }
int32_t KAVAPI VokSetOptionOperation(int32_t value) { return send(1917, value); }
int32_t KAVAPI VokSetOptionSystemInfo(int32_t value) { return send(1918, value); }
int32_t KAVAPI VokSetOptionDetectableLayerScale(int32_t value) { return send(1919, value); }
int32_t KAVAPI VokSetOptionCheckButton(int32_t value) { return send(1920, value); }

int32_t KAVAPI VokSetOptionPreparedLayer(int32_t mode, int16_t value) {
    return send(1921, mode, val(value));
}

// The value comes back from the first 4 payload bytes whatever the answer.
int16_t KAVAPI VokSelectCSB(int32_t* value) {
    return lo16(sendReadBack(1950, 0, rec(value)));
}

int32_t KAVAPI VokSetSelectElementType(int32_t value) { return send(1951, value); }
int32_t KAVAPI VokSetSelectColor(int32_t value) { return send(1952, value); }
int32_t KAVAPI VokSetSelectLineStyle(int32_t value) { return send(1953, value); }
int32_t KAVAPI VokSetSelectLineWidth(int32_t value) { return send(1954, value); }

int32_t KAVAPI VokSetSelectTermType(int16_t value1, int16_t value2) {
    return send(1955, lpPacked(value1, value2));
}

int32_t KAVAPI VokSetSelectSubcode(int16_t count, SAFEARRAY** subcodes) {
    const Seg list = count < 0 ? refused() : arrayData(subcodes, uint64_t(count) * sizeof(int16_t));
    return send(1956, lpSigned16(count), list);
}

int32_t KAVAPI VokSetSelectGroupDetection(int32_t value) { return send(1957, value); }
int32_t KAVAPI VokSetSelectDimGroupDetection(int32_t value) { return send(1958, value); }
int32_t KAVAPI VokSetSelectPartDetection(int32_t value) { return send(1959, value); }

int32_t KAVAPI VokSelectCSBBySegregateMark(int32_t* value1, int32_t* value2, Record32* record) {
    return scatter(1960, 0, rec(value1), rec(value2), rec(record));
}

int32_t KAVAPI VokDetectElementsByRect(PointShape* corner1, PointShape* corner2, int32_t* value1, int32_t* value2) {
    return scatter(1980, 0, rec(corner1), rec(corner2), rec(value1), rec(value2));
}

int32_t KAVAPI VokSearchElements() { return send(1981, 0); }
