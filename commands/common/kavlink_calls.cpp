#include "kavlink_calls.h"

#include "binding.h"

namespace kavcmd::kavlink {

namespace {
constexpr char kLibrary[] = "kavlink.dll";

// The exports' own signatures (undecorated __stdcall names).
using InitVBCmdLibFn = void __stdcall(HWND, int32_t);
using VokExitCommandFn = int32_t __stdcall();
using VokGetCSBHandleFn = int32_t __stdcall(int16_t);
using VokGetTextBoxStatusFn = int32_t __stdcall(int32_t, int16_t, BoxStatus*);

LateBound<InitVBCmdLibFn> initVBCmdLib{kLibrary, "InitVBCmdLib"};
LateBound<VokExitCommandFn> exitCommand{kLibrary, "VokExitCommand"};
LateBound<VokGetCSBHandleFn> getCSBHandle{kLibrary, "VokGetCSBHandle"};
LateBound<VokGetTextBoxStatusFn> getTextBoxStatus{kLibrary, "VokGetTextBoxStatus"};
}  // namespace

void InitVBCmdLib(HWND hostWindow, int32_t cmdLine) { initVBCmdLib(hostWindow, cmdLine); }

int32_t VokExitCommand() { return exitCommand(); }

int32_t VokGetCSBHandle(int16_t csbID) { return getCSBHandle(csbID); }

int32_t VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) {
    return getTextBoxStatus(csbHandle, itemID, status);
}

}  // namespace kavcmd::kavlink
