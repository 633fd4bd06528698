// Run from a folder without kavlink.dll: creates a registered component by
// ProgID and checks that it works without the library except for the events
// that need it.  Arguments: ProgID, IID of _MorvikVbCommand, host window.
// Exit code: the number of failed checks.
#include "kav/com_ref.h"
#include "morvik_command.h"

#include <objbase.h>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {
int failures = 0;
void check(bool ok, const char* what, HRESULT hr = S_OK) {
    std::printf("%s: %s (hr 0x%08lX)\n", ok ? "ok" : "FAILED", what, static_cast<unsigned long>(hr));
    if (!ok) ++failures;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 100;
    ::CoInitialize(nullptr);
    {
        CLSID clsid{};
        IID iid{};
        HRESULT hr = ::CLSIDFromProgID(argv[1], &clsid);
        check(hr == S_OK, "ProgID resolves", hr);
        check(::IIDFromString(argv[2], &iid) == S_OK, "IID text");
        kav::ComRef<kavcmd::_MorvikVbCommand> command;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, command.putVoid());
        check(hr == S_OK && command, "created by ProgID", hr);
        if (command) {
            check(::GetModuleHandleA("kavlink.dll") == nullptr, "kavlink.dll not loaded");
            LONG code = 77;
            const LONG window = static_cast<LONG>(std::wcstoul(argv[3], nullptr, 10));
            hr = command->VokProcStartCmd(window, 1, &code);
            check(FAILED(hr), "start fails without kavlink.dll", hr);
            check(code == 77, "nCode untouched when the first step fails");
            hr = command->VokProcStringBoxEventHook(1, 2, 0);
            check(FAILED(hr), "string box hook fails without kavlink.dll", hr);
            check(command->VokProcPreEvent() == S_OK, "an event without requests still answers S_OK");
            LPOLESTR name = const_cast<LPOLESTR>(L"VokProcSystemEvent");
            DISPID id = 0;
            hr = command->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
            VARIANT arg;
            ::VariantInit(&arg);
            V_VT(&arg) = VT_I2;
            V_I2(&arg) = 3;
            DISPPARAMS params{&arg, nullptr, 1, 0};
            if (SUCCEEDED(hr))
                hr = command->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                     nullptr);
            check(hr == S_OK, "IDispatch by name works", hr);
        }
    }
    ::CoUninitialize();
    std::printf("%d failed\n", failures);
    return failures;
}
