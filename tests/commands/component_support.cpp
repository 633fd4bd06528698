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

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    for (unsigned n = ::GetTickCount() & 0xFFFF;; ++n) {
        path_ = std::wstring(base) + L"kavcmd" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(n);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temp folder");
    }
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW data;
    kav::UniqueFind find(::FindFirstFileW((path_ + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") ::DeleteFileW(file(name).c_str());
        } while (::FindNextFileW(find.get(), &data));
    }
    ::RemoveDirectoryW(path_.c_str());
}

std::optional<std::wstring> classesText(const std::wstring& subkey, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    const LSTATUS s = ::RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    if (s != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(value);
}

bool classesKeyExists(const std::wstring& subkey) {
    HKEY key = nullptr;
    const LSTATUS s = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, &key);
    if (s == ERROR_SUCCESS) ::RegCloseKey(key);  // only existence is asked
    return s == ERROR_SUCCESS;
}

ChildResult runChild(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs) {
    ChildResult result;
    // The child writes into a temporary file that is deleted when closed.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    wchar_t outName[MAX_PATH] = {}, base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    ::GetTempFileNameW(base, L"kco", 0, outName);
    kav::UniqueFileHandle out(::CreateFileW(outName, GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                            nullptr));
    if (!out) {
        ADD_FAILURE() << "cannot create the output file (" << ::GetLastError() << ")";
        return result;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start the child process (" << ::GetLastError() << ")";
        return result;
    }
    kav::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    HANDLE waitFor = process.get();
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        const DWORD w = ::MsgWaitForMultipleObjects(1, &waitFor, FALSE, static_cast<DWORD>(deadline - now),
                                                    QS_ALLINPUT);
        if (w == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (!result.finished) {
        ::TerminateProcess(process.get(), 99);  // our own child, hung
        ::WaitForSingleObject(process.get(), 10000);
    }
    ::GetExitCodeProcess(process.get(), &result.exitCode);
    ::SetFilePointer(out.get(), 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(out.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) result.output.append(buffer, got);
    return result;
}

ChildResult regsvr32(const std::wstring& dll, bool unregister, const std::wstring& folder) {
    return runChild(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"", folder);
}

bool equalPaths(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace kavtest
