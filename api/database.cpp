// The drawing database as a whole: information records, tolerances, display
// digits, layer masks and names, block scale and name, the two origins,
// files, locking, and walking the host's databases.
//
// Getters that take the answer into a buffer send it with SendRequest and
// copy the first bytes of the payload area back with ReadAnswer.  A double
// getter sends its own buffer holding 0.0, so an answer that writes nothing
// gives 0.0; an origin getter sends its own zeroed 16 bytes.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

namespace {

constexpr uint32_t kLayerMask = 128;
constexpr uint32_t kLayerName = 32;
constexpr uint32_t kBlockName = 32;

double doubleResult(uint32_t code, uint32_t lParam) {
    double value = 0.0;
    sendReadBack(code, lParam, val(value));
    return value;
}

// Record result: the caller gets the address of its record back, or 0 when
// it passed none (nothing is sent then).
PointShape* originResult(uint32_t code, PointShape* origin) {
    const PointShape own{};
    return trySendReadBack(code, 0, rec(&own), rec(origin)) ? origin : nullptr;
}

}  // namespace

// Read-back getters: the low half of the answer, taken before the read-back.
int16_t KAVAPI VokGetDBInfo(DBInfo* dbInfo) { return lo16(sendReadBack(1300, 0, rec(dbInfo))); }
int16_t KAVAPI VokGetSpecificDBInfo(int32_t db, DBInfo* dbInfo) {
    return lo16(sendReadBack(1300, db, rec(dbInfo)));
}
int16_t KAVAPI VokGetDBInfoEx(DBInfoEx* dbInfoEx) { return lo16(sendReadBack(1301, 0, rec(dbInfoEx))); }

int32_t KAVAPI VokGetNumberElement() { return send(1302, 0); }

double KAVAPI VokGetEpsLength() { return doubleResult(1304, 0); }
int32_t KAVAPI VokSetEpsLength(double epsLength) { return send(1305, 0, val(epsLength)); }
double KAVAPI VokGetEpsAngle() { return doubleResult(1306, 0); }
int16_t KAVAPI VokSetEpsAngle(double epsAngle) { return lo16(send(1307, 0, val(epsAngle))); }

int16_t KAVAPI VokGetDispDigit() { return lo16(send(1308, 0)); }
int32_t KAVAPI VokSetDispDigit(int16_t digits) { return send(1309, lp16(digits)); }

int16_t KAVAPI VokGetDBDispLayerMask(SAFEARRAY** layerMask) {
    return lo16(exchange(1310, 0, arrayData(layerMask, kLayerMask)));
}
int32_t KAVAPI VokSetDBDispLayerMask(SAFEARRAY** layerMask) {
    return send(1311, 0, arrayData(layerMask, kLayerMask));
}
int16_t KAVAPI VokGetDBEditLayerMask(SAFEARRAY** layerMask) {
    return lo16(exchange(1312, 0, arrayData(layerMask, kLayerMask)));
}
int32_t KAVAPI VokSetDBEditLayerMask(SAFEARRAY** layerMask) {
    return send(1313, 0, arrayData(layerMask, kLayerMask));
}

int32_t KAVAPI VokGetInputLayer() { return send(1314, 0); }
int32_t KAVAPI VokChangeInputLayer(int16_t layer) { return send(1315, lp16(layer)); }

double KAVAPI VokGetLayerBlockScale(int16_t layer) { return doubleResult(1316, lp16(layer)); }
int32_t KAVAPI VokSetLayerBlockScale(int16_t layer, double scale) {
    return send(1317, lp16(layer), val(scale));
}

int16_t KAVAPI VokGetLayerName(int16_t layer, char* layerName) {
    return lo16(sendReadBack(1318, lp16(layer), bytes(layerName, kLayerName)));
}
int32_t KAVAPI VokSetLayerName(int16_t layer, const char* layerName) {
    return send(1319, lp16(layer), text(layerName));
}

PointShape* KAVAPI VokGetDBOrigin1(PointShape* origin) { return originResult(1320, origin); }
int32_t KAVAPI VokSetDBOrigin1(const PointShape* origin) { return send(1321, 0, rec(origin)); }
PointShape* KAVAPI VokGetDBOrigin2(PointShape* origin) { return originResult(1322, origin); }
int32_t KAVAPI VokSetDBOrigin2(const PointShape* origin) { return send(1323, 0, rec(origin)); }

int32_t KAVAPI VokSetDBInfo(const DBInfo* dbInfo) { return send(1324, 0, rec(dbInfo)); }
int32_t KAVAPI VokSetDBInfoEx(const DBInfoEx* dbInfoEx) { return send(1325, 0, rec(dbInfoEx)); }

// The file name comes first among the arguments; the mode travels in lParam.
int32_t KAVAPI VokOpenFile(const char* fileName, int16_t openMode) {
    return send(1326, lp16(openMode), text(fileName));
}
int32_t KAVAPI VokSaveFile(const char* fileName) { return send(1327, 0, text(fileName)); }

int32_t KAVAPI VokLockCurrentDB() { return send(1328, 0); }
int32_t KAVAPI VokUnlockCurrentDB() { return send(1329, 0); }
int32_t KAVAPI VokCreateDB(const DBInfo* dbInfo) { return send(1330, 0, rec(dbInfo)); }
int32_t KAVAPI VokGetCurrentDBHandle() { return send(1331, 0); }
int32_t KAVAPI VokGetNextDBHandle(int32_t db) { return send(1332, db); }
int32_t KAVAPI VokActivateDB(int32_t db) { return send(1333, db); }
int32_t KAVAPI VokDeleteDB(int32_t db) { return send(1334, db); }

// The selector travels in lParam; block (2 bytes, written back only into the
// export's own copy) comes before the 32-byte name at payload offset 2.
int32_t KAVAPI VokGetBlockName(int32_t selector, int16_t block, char* blockName) {
    return scatter(1335, selector, val(block), bytes(blockName, kBlockName));
}

int32_t KAVAPI VokGetCharDispMode() { return exchange(1336, 0); }
