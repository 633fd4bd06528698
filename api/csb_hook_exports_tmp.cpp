// The two CSB panel functions that the command components' string box hook
// calls, until the CSB panel family lands (then this file goes).
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;

int32_t KAVAPI VokGetCSBHandle(int16_t csbID) try { return send(1807, lp16(csbID)); } KAV_GUARD

int32_t KAVAPI VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) try {
    return scatter(1824, csbHandle, val(itemID), rec(status));
} KAV_GUARD
