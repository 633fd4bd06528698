#include "type_info.h"

#include "component_identity.h"
#include "module.h"

#include <mutex>
#include <utility>

namespace kavcmd {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
}

HRESULT LoadOwnTypeLibrary(kav::ComRef<ITypeLib>& library) {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
}

namespace {

std::mutex cacheLock;
kav::ComRef<ITypeInfo> cachedDispatchSide;
kav::ComRef<ITypeInfo> cachedTableSide;

HRESULT LoadInterfaceTypes(kav::ComRef<ITypeInfo>& dispatchSide, kav::ComRef<ITypeInfo>& tableSide) {
    kav::ComRef<ITypeLib> library;
    HRESULT hr = LoadOwnTypeLibrary(library);
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(ThisComponent().iid, dispatchSide.put());
    if (FAILED(hr)) return hr;
    // A dual interface's dispatch side refers to its function-table side as
    // implemented type -1.
    HREFTYPE ref = 0;
    hr = dispatchSide->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (FAILED(hr)) return hr;
    return dispatchSide->GetRefTypeInfo(ref, tableSide.put());
}

}  // namespace

HRESULT CommandTypeInfo(InterfaceTypes& types) {
    const std::lock_guard<std::mutex> hold(cacheLock);
    if (!cachedTableSide) {
        kav::ComRef<ITypeInfo> dispatchSide, tableSide;
        const HRESULT hr = LoadInterfaceTypes(dispatchSide, tableSide);
        if (FAILED(hr)) return hr;
        cachedDispatchSide = std::move(dispatchSide);
        cachedTableSide = std::move(tableSide);
    }
    types = {cachedDispatchSide.get(), cachedTableSide.get()};
    return S_OK;
}

}  // namespace kavcmd
