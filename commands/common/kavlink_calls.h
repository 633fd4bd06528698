// The four kavlink.dll functions that the command frame calls, bound by name
// at their first call (no import of kavlink.dll), from the kavlink.dll beside
// the component when there is one.  Each throws
// BindingFailure when kavlink.dll or the entry point cannot be found.
#pragma once
#include "kavlink.h"  // BoxStatus

#include <windows.h>
#include <cstdint>

namespace kavcmd::kavlink {

// Stores the host window in the shared block.
void InitVBCmdLib(HWND hostWindow, int32_t cmdLine);
// Tells the host that the command has ended; the host's answer.
int32_t VokExitCommand();
// The handle of CSB panel `csbID`, 0 when the host has none.
int32_t VokGetCSBHandle(int16_t csbID);
// Reads a text box's status into `status`; the host's answer.
int32_t VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status);

}  // namespace kavcmd::kavlink
