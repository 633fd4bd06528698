#include "component_support.h"

#include "kav/handles.h"
#include "morvik_events.h"

#include <gtest/gtest.h>

namespace kavtest {

const std::vector<ComponentInfo>& components() {
    static const std::vector<ComponentInfo> list = {
        {"csbclean", L"csbclean", L"csbclean.dll", L"csbclean.MorvikVbCommand",
         L"{8687B18D-8CE1-4C8B-AEDD-3A249018775A}", 18, 0, L"{2D38DE7C-3BEC-4519-8B67-4D999253F6B7}",
         L"{A93F99F2-E8A4-487E-8608-2C084826F652}", L"hwnd"},
        {"histclean", L"histclean", L"histclean.dll", L"histclean.MorvikVbCommand",
         L"{FDEC65FE-7212-4737-B222-D7283AB5A383}", 2, 0, L"{BAFCABA9-20F0-4C5C-97B3-9E4DBDA513BD}",
         L"{70DB71C4-A6D5-469E-A2C5-32CF9756A036}", L"hWnd"},
    };
    return list;
}

GUID guidOf(const wchar_t* text) {
    GUID g{};
    EXPECT_EQ(::CLSIDFromString(text, &g), S_OK) << "bad GUID text";
    return g;
}

const std::vector<MethodInfo>& eventMethods() {
    static const std::vector<MethodInfo> list = [] {
        std::vector<MethodInfo> methods;
        for (const kavcmd::EventMethod& m : kavcmd::kEventMethods) {
            MethodInfo method{m.name, {}};
            for (unsigned i = 0; i < m.count; ++i)
                method.params.push_back({m.params[i].name, m.params[i].vt, m.params[i].byRef});
            methods.push_back(std::move(method));
        }
        return methods;
    }();
    return list;
}

std::wstring exeFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

std::wstring builtPath(const ComponentInfo& c) { return exeFolder() + L"\\" + c.file; }

std::optional<std::wstring> classesText(const std::wstring& subkey, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    const LSTATUS s = ::RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    if (s != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(value);
}

bool classesKeyExists(const std::wstring& subkey) {
    kav::UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

ProcessRun regsvr32(const std::wstring& dll, bool unregister, const std::wstring& folder) {
    return runCommandLine(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"", folder);
}

bool equalPaths(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace kavtest
