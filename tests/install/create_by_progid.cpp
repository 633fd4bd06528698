// create_by_progid <folder> <ProgID>...: creates each component by ProgID as
// a host does, calls one event through IDispatch by name, and checks that
// the component's DLL was loaded from <folder>.  Prints one line per check;
// the exit code is the number of failed checks.
#include "kav/com_ref.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {
int failures = 0;
void check(bool ok, const std::wstring& what, HRESULT hr = S_OK) {
    std::wprintf(L"%ls: %ls (hr 0x%08lX)\n", ok ? L"ok" : L"FAILED", what.c_str(), static_cast<unsigned long>(hr));
    if (!ok) ++failures;
}

std::wstring LoadedFolder(const std::wstring& file) {
    HMODULE module = ::GetModuleHandleW(file.c_str());
    if (!module) return L"<not loaded>";
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: create_by_progid <folder> <ProgID>...\n");
        return 100;
    }
    ::CoInitialize(nullptr);
    const std::wstring folder = argv[1];
    for (int i = 2; i < argc; ++i) {
        kav::ComRef<IDispatch> command;
        const std::wstring progId = argv[i];
        CLSID clsid{};
        HRESULT hr = ::CLSIDFromProgID(progId.c_str(), &clsid);
        check(hr == S_OK, progId + L" resolves", hr);
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, command.putVoid());
        check(hr == S_OK && command, progId + L" created", hr);
        if (!command) continue;
        LPOLESTR name = const_cast<LPOLESTR>(L"VokProcPreEvent");
        DISPID id = 0;
        hr = command->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (SUCCEEDED(hr)) hr = command->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        check(hr == S_OK, progId + L" answers VokProcPreEvent by name", hr);
        const std::wstring file = progId.substr(0, progId.find(L'.')) + L".dll";
        const std::wstring loaded = LoadedFolder(file);
        check(::_wcsicmp(loaded.c_str(), folder.c_str()) == 0, file + L" loaded from " + loaded);
    }
    ::CoUninitialize();
    return failures;
}
