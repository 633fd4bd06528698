// Command sub-box panels and their controls.  A panel is named by the
// command's csbID (zero-extended 16-bit lParam) until it exists, then by the
// host's handle (lParam unchanged).  The control's itemID always leads the
// payload as 2 bytes; texts follow with their terminators.
#include "kavlink.h"
#include "request.h"

using namespace kav::wire;
namespace wire = kav::wire;

// ---- panels -------------------------------------------------------------------
int32_t KAVAPI VokCreateCSB(int16_t csbID, const char* text1, const char* text2, int16_t setting) {
    return gather(1800, lp16(csbID), text(text1), text(text2), val(setting));
}
int32_t KAVAPI VokComposeCSB(int32_t csbHandle) { return send(1801, csbHandle); }
int32_t KAVAPI VokDestroyCSB(int32_t csbHandle) { return send(1802, csbHandle); }
int32_t KAVAPI VokGetCSBHandle(int16_t csbID) { return send(1807, lp16(csbID)); }

// ---- creating controls -------------------------------------------------------------
int32_t KAVAPI VokCreatePushButton(int32_t csbHandle, int16_t itemID, const char* text) {
    return gather(1803, csbHandle, val(itemID), wire::text(text));
}
int32_t KAVAPI VokCreateCheckButton(int32_t csbHandle, int16_t itemID, const char* text) {
    return gather(1804, csbHandle, val(itemID), wire::text(text));
}
int32_t KAVAPI VokCreateRadioButton(int32_t csbHandle, int16_t itemID, const char* text) {
    return gather(1805, csbHandle, val(itemID), wire::text(text));
}
int32_t KAVAPI VokCreatePullBox(int32_t csbHandle, int16_t itemID, const char* text) {
    return gather(1806, csbHandle, val(itemID), wire::text(text));
}
int32_t KAVAPI VokCreateIntegerBox(int32_t csbHandle, int16_t itemID, int16_t setting, const char* text) {
    return gather(1810, csbHandle, val(itemID), val(setting), wire::text(text));
}
int32_t KAVAPI VokCreateRealBox(int32_t csbHandle, int16_t itemID, int16_t setting1, int16_t setting2,
                                const char* text) {
    return gather(1811, csbHandle, val(itemID), val(setting1), val(setting2), wire::text(text));
}
int32_t KAVAPI VokCreateTextBox(int32_t csbHandle, int16_t itemID, const char* text) {
    return gather(1812, csbHandle, val(itemID), wire::text(text));
}

// ---- reading control state: the record comes back whatever the answer ---------------
int32_t KAVAPI VokGetButtonStatus(int32_t csbHandle, int16_t itemID, ButtonStatus* status) {
    return scatter(1820, csbHandle, val(itemID), rec(status));
}
int32_t KAVAPI VokGetPullBoxStatus(int32_t csbHandle, int16_t itemID, int16_t* value) {
    return scatter(1821, csbHandle, val(itemID), rec(value));
}
int32_t KAVAPI VokGetIntegerBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) {
    return scatter(1822, csbHandle, val(itemID), rec(status));
}
int32_t KAVAPI VokGetRealBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) {
    return scatter(1823, csbHandle, val(itemID), rec(status));
}
int32_t KAVAPI VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) {
    return scatter(1824, csbHandle, val(itemID), rec(status));
}

// ---- setting control state ------------------------------------------------------------
int32_t KAVAPI VokSetButtonStatus(int32_t csbHandle, int16_t itemID, const ButtonStatus* status) {
    return gather(1830, csbHandle, val(itemID), rec(status));
}
// The value travels by value here, unlike the pull box getter.
int32_t KAVAPI VokSetPullBoxStatus(int32_t csbHandle, int16_t itemID, int16_t value) {
    return gather(1831, csbHandle, val(itemID), val(value));
}
int32_t KAVAPI VokSetIntegerBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus* status) {
    return gather(1832, csbHandle, val(itemID), rec(status));
}
int32_t KAVAPI VokSetRealBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus* status) {
    return gather(1833, csbHandle, val(itemID), rec(status));
}
int32_t KAVAPI VokSetTextBoxStatus(int32_t csbHandle, int16_t itemID, const BoxStatus* status) {
    return gather(1834, csbHandle, val(itemID), rec(status));
}

// ---- enabling and focusing a control ----------------------------------------------------
int32_t KAVAPI VokEnableCSBPart(int32_t csbHandle, int16_t itemID) { return send(1840, csbHandle, val(itemID)); }
int32_t KAVAPI VokDisableCSBPart(int32_t csbHandle, int16_t itemID) { return send(1841, csbHandle, val(itemID)); }
int32_t KAVAPI VokCSBSetFocus(int32_t csbHandle, int16_t itemID) { return send(1842, csbHandle, val(itemID)); }
