#include "kavlink_calls.h"

#include "binding.h"
#include "type_info.h"

#include <string>

namespace kavcmd::kavlink {

namespace {
constexpr char kLibrary[] = "kavlink.dll";

// kavlink.dll beside this component, by its full path; only when there is
// none there, by name through the standard search without the current
// directory (the program's folder, the system folder), so that a
// kavlink.dll planted in a drawing folder is never loaded.
HMODULE LoadKavlink(const char* library) {
    std::wstring path = ModulePath();
    const auto slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        path.resize(slash + 1);
        for (const char* c = library; *c; ++c) path.push_back(static_cast<wchar_t>(*c));  // an ASCII name
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return ::LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

// The exports' own signatures (undecorated __stdcall names).
using InitVBCmdLibFn = void __stdcall(HWND, int32_t);
using VokExitCommandFn = int32_t __stdcall();
using VokGetCSBHandleFn = int32_t __stdcall(int16_t);
using VokGetTextBoxStatusFn = int32_t __stdcall(int32_t, int16_t, BoxStatus*);

LateBound<InitVBCmdLibFn> initVBCmdLib{kLibrary, "InitVBCmdLib", LoadKavlink};
LateBound<VokExitCommandFn> exitCommand{kLibrary, "VokExitCommand", LoadKavlink};
LateBound<VokGetCSBHandleFn> getCSBHandle{kLibrary, "VokGetCSBHandle", LoadKavlink};
LateBound<VokGetTextBoxStatusFn> getTextBoxStatus{kLibrary, "VokGetTextBoxStatus", LoadKavlink};
}  // namespace

void InitVBCmdLib(HWND hostWindow, int32_t cmdLine) { initVBCmdLib(hostWindow, cmdLine); }

int32_t VokExitCommand() { return exitCommand(); }

int32_t VokGetCSBHandle(int16_t csbID) { return getCSBHandle(csbID); }

int32_t VokGetTextBoxStatus(int32_t csbHandle, int16_t itemID, BoxStatus* status) {
    return getTextBoxStatus(csbHandle, itemID, status);
}

}  // namespace kavcmd::kavlink
