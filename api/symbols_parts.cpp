// Parts and symbols: creating, positioning, resolving and walking them,
// their placement attributes, symbol points, part information and washers.
// Most exports are one plain request.  The attribute getters receive into
// buffers of their own and hand them on only on a 16-bit -1; part information
// is cut into three texts; the washer answer becomes two flags and two
// labelled texts.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

#include <cstdio>

using namespace kav::wire;
using kav::guardedStore;

namespace {

constexpr uint32_t kMaxPartName = 260;
constexpr uint32_t kInfoField = 256;  // three fields of part information

bool isVariable(BSTR* variable) {
    BSTR current = nullptr;
    return kav::guardedLoad(variable, current);
}

// Placement attributes as the figure getters receive them: 16 + 8 + 8 + 2.
struct FigureAttr {
    PointShape position{};
    double real1 = 0.0;
    double real2 = 0.0;
    int16_t flag = 0;
};

int16_t getFigureAttr(uint32_t code, int32_t figure, PointShape* position, double* real1, double* real2, int16_t* flag) {
    if (position == nullptr || real1 == nullptr || real2 == nullptr || flag == nullptr) return 0;
    FigureAttr a;
    const int16_t answer = lo16(scatter(code, figure, rec(&a.position), val(a.real1), val(a.real2), val(a.flag)));
    if (answer == -1) {
        guardedStore(position, a.position);
        guardedStore(real1, a.real1);
        guardedStore(real2, a.real2);
        guardedStore(flag, a.flag);
    }
    return answer;
}

}  // namespace

// The byte length comes from the string's header (SysStringByteLen; a null
// string has length 0); the bytes travel without a terminator and the host
// takes their number from the lParam.
int32_t KAVAPI VokCreatePart(BSTR partName) {
    uint32_t length = 0;
    if (partName != nullptr && !kav::guardedLoad(reinterpret_cast<const uint8_t*>(partName) - 4, length)) return 0;
    if (length > kMaxPartName) return 0;
    return send(1450, length, bytes(partName, length));
}

int32_t KAVAPI VokPositionPart(int32_t part, const PointShape* position, double real1, double real2, int16_t flag) {
    return gather(1451, part, rec(position), val(real1), val(real2), val(flag));
}

int32_t KAVAPI VokResolvePart(int32_t part, int32_t value) { return send(1452, part, val(value)); }
int32_t KAVAPI VokGetPartIndex(int32_t value) { return send(1453, value); }
int32_t KAVAPI VokGetFirstPartFigure(int32_t part) { return send(1454, part); }
int32_t KAVAPI VokGetNextPartFigure(int32_t value) { return send(1455, value); }

int16_t KAVAPI VokGetPartFigureAttr(int32_t figure, PointShape* position, double* real1, double* real2, int16_t* flag) {
    return getFigureAttr(1456, figure, position, real1, real2, flag);
}

int32_t KAVAPI VokGetPartFigureByVMember(int32_t value) { return send(1457, value); }
int32_t KAVAPI VokResolvePartYesNo() { return send(1458, 0); }

int32_t KAVAPI VokCreateSymbol(int32_t value, const PointShape* position) {
    return send(1570, value, rec(position));
}

int32_t KAVAPI VokPositionSymbol(int32_t symbol, PointShape* position, double real1, double real2, int32_t value) {
    return scatter(1571, 0, val(symbol), rec(position), val(real1), val(real2), val(value));
}

int32_t KAVAPI VokResolveSymbol(int32_t symbol) { return send(1572, symbol); }
int32_t KAVAPI VokGetSymbolFirstMember(int32_t symbol) { return send(1573, symbol); }
int32_t KAVAPI VokGetSymbolNextMember(int32_t value) { return send(1574, value); }
int32_t KAVAPI VokGetSymbolIndex(int32_t value) { return send(1575, value); }

int16_t KAVAPI VokGetSymbolAttr(int32_t symbol, PointShape* position, Record32* record) {
    if (position == nullptr || record == nullptr) return 0;
    PointShape ownPosition{};
    Record32 ownRecord{};
    const int16_t answer = lo16(scatter(1576, symbol, rec(&ownPosition), rec(&ownRecord)));
    if (answer == -1) {
        guardedStore(position, ownPosition);
        guardedStore(record, ownRecord);
    }
    return answer;
}

int16_t KAVAPI VokGetSymbolFigureAttr(int32_t figure, PointShape* position, double* real1, double* real2, int16_t* flag) {
    return getFigureAttr(1577, figure, position, real1, real2, flag);
}

int32_t KAVAPI VokGetSymbolFirstFigure(int32_t symbol) { return send(1578, symbol); }
int32_t KAVAPI VokGetSymbolNextFigure(int32_t value) { return send(1579, value); }

int32_t KAVAPI VokAppendSymbolPoint(int32_t symbol, const PointShape* point) {
    return send(1580, symbol, rec(point));
}

int32_t KAVAPI VokDeleteSymbolPoint(int32_t symbol, int16_t number) {
    return send(1581, symbol, val(number));
}

int32_t KAVAPI VokDeleteAllSymbolPoint(int32_t symbol) { return send(1582, symbol); }

int32_t KAVAPI VokPositionSymbolEx(int32_t symbol, PointShape* position, double real1, double real2, double* real3) {
    return scatter(1583, 0, val(symbol), rec(position), val(real1), val(real2), rec(real3));
}

// Three texts in 256-byte fields at payload offsets 0, 256 and 512; a field
// without a zero byte gives its 256 bytes.
int16_t KAVAPI VokGetPartInfo(int32_t part, BSTR* text1, BSTR* text2, BSTR* text3) {
    if (!isVariable(text1) || !isVariable(text2) || !isVariable(text3)) return 0;
    const int16_t answer = lo16(send(2150, part));
    if (answer == 0) return 0;
    char info[3 * kInfoField];
    kav::ReadAnswer(info, sizeof info);
    kav::putText(text1, info, kInfoField);
    kav::putText(text2, info + kInfoField, kInfoField);
    kav::putText(text3, info + 2 * kInfoField, kInfoField);
    return answer;
}

// Flag word bit 0: a washer labelled "PWF", bit 1: one labelled "SLW"; both
// carry the size found as a double at the start of the payload, written as
// "%g" writes it.
void KAVAPI VokHasWasher(int32_t part, int16_t* hasPWF, int16_t* hasSLW, BSTR* textPWF, BSTR* textSLW) {
    if (hasPWF == nullptr || hasSLW == nullptr || !isVariable(textPWF) || !isVariable(textSLW)) return;
    const uint16_t flags = static_cast<uint16_t>(send(2151, part));
    guardedStore(hasSLW, int16_t{0});
    guardedStore(hasPWF, int16_t{0});
    if (flags == 0) return;
    double size = 0.0;
    kav::ReadAnswer(&size, sizeof size);
    char label[40];
    if (flags & 1) {
        guardedStore(hasPWF, int16_t{-1});
        std::snprintf(label, sizeof label, "PWF%g", size);
        kav::putText(textPWF, label, sizeof label);
    }
    if (flags & 2) {
        guardedStore(hasSLW, int16_t{-1});
        std::snprintf(label, sizeof label, "SLW%g", size);
        kav::putText(textSLW, label, sizeof label);
    }
}
