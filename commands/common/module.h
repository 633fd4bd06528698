// The component's own module (csbclean.dll or histclean.dll, or the program
// that links the command code directly).
#pragma once
#include <windows.h>

namespace kavcmd {

inline HMODULE ThisModule() {
    static const char marker = 0;
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&marker), &module);
    return module;
}

}  // namespace kavcmd
