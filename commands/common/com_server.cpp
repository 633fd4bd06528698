// The in-process server entry points: class factory of MorvikVbCommand,
// unload check, and self-registration (type library, class, ProgID), for
// the machine or, through DllInstall, for the current user alone.
#include "com_barrier.h"
#include "component_identity.h"
#include "morvik_command.h"
#include "type_info.h"

#include "kav/handles.h"

#include <olectl.h>
#include <atomic>
#include <cwchar>
#include <string>

// The per-user type library registration of oleaut32 (Windows Vista and
// later), which the mingw-w64 headers do not declare.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
}

namespace kavcmd {

namespace {

// Factory references and LockServer locks; with the live instances they
// keep the module loaded.
std::atomic<LONG> factoryHolds{0};

class MorvikFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is a static object: its references only count as holds.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++factoryHolds); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--factoryHolds); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        return ComBarrier([&]() -> HRESULT {
            if (object == nullptr) return E_POINTER;
            *object = nullptr;
            if (outer != nullptr) return CLASS_E_NOAGGREGATION;
            return CreateMorvikVbCommand(iid, object);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ++factoryHolds;
        else --factoryHolds;
        return S_OK;
    }
};

MorvikFactory factory;

// ---- registry -------------------------------------------------------------

using UniqueKey = kav::UniqueRegKey;

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    UniqueKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteKeyTree(const std::wstring& subkey) {
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(ThisComponent().clsid); }

// Registration for the current user alone (DllInstall "user"): while it
// runs, HKEY_CLASSES_ROOT stands for HKCU\Software\Classes in this process,
// so that the class, ProgID and type library keys all land there.
bool perUser = false;

HRESULT RegisterComponent() {
    const ComponentIdentity& id = ThisComponent();
    std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());

    // The type library with its interface, recorded with the plain path.
    kav::ComRef<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr)) return hr;
    hr = perUser ? ::RegisterTypeLibForUser(library.get(), path.data(), nullptr)
                 : ::RegisterTypeLib(library.get(), path.data(), nullptr);
    if (FAILED(hr)) return hr;

    const std::wstring clsidText = GuidText(id.clsid);
    const std::wstring classKey = ClassKey();
    const std::wstring progIdKey = id.progId;
    const struct {
        const std::wstring& key;
        std::wstring subkey;
        const wchar_t* name;
        std::wstring value;
    } entries[] = {
        {classKey, L"", nullptr, id.progId},
        {classKey, L"\\InprocServer32", nullptr, path},
        {classKey, L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey, L"\\ProgID", nullptr, id.progId},
        {classKey, L"\\TypeLib", nullptr, GuidText(id.libid)},
        {progIdKey, L"", nullptr, id.progId},
        {progIdKey, L"\\CLSID", nullptr, clsidText},
    };
    for (const auto& e : entries) {
        hr = SetText(e.key + e.subkey, e.name, e.value);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

bool ClassesKeyExists(const std::wstring& subkey) {
    UniqueKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

HRESULT UnregisterComponent() {
    const ComponentIdentity& id = ThisComponent();
    HRESULT result = S_OK;
    // What is not registered needs no removal: unregistering twice succeeds.
    wchar_t version[16] = {};
    ::swprintf(version, 16, L"%x.%x", id.libMajor, id.libMinor);  // the registry writes versions in hex
    if (ClassesKeyExists(L"TypeLib\\" + GuidText(id.libid) + L"\\" + version))
        result = perUser ? ::UnRegisterTypeLibForUser(id.libid, id.libMajor, id.libMinor, LOCALE_NEUTRAL, SYS_WIN32)
                         : ::UnRegisterTypeLib(id.libid, id.libMajor, id.libMinor, LOCALE_NEUTRAL, SYS_WIN32);
    for (const std::wstring& key : {ClassKey(), std::wstring(id.progId)}) {
        const HRESULT hr = DeleteKeyTree(key);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT Register() {
    const HRESULT hr = RegisterComponent();
    if (FAILED(hr)) UnregisterComponent();  // leave nothing half written
    return hr;
}

// Runs `step` with HKEY_CLASSES_ROOT redirected to the user's own classes.
template <class Step>
HRESULT ForCurrentUser(Step step) {
    UniqueKey userClasses;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, userClasses.put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses.get());
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    perUser = true;
    struct Restore {
        ~Restore() {
            perUser = false;
            ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        }
    } restore;
    return step();
}

}  // namespace

}  // namespace kavcmd

using namespace kavcmd;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    return ComBarrier([&]() -> HRESULT {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualCLSID(clsid, ThisComponent().clsid)) return CLASS_E_CLASSNOTAVAILABLE;
        return factory.QueryInterface(iid, object);
    });
}

STDAPI DllCanUnloadNow() {
    return LiveObjectCount() == 0 && factoryHolds.load() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return ComBarrier([]() -> HRESULT { return Register(); });
}

STDAPI DllUnregisterServer() {
    return ComBarrier([]() -> HRESULT { return UnregisterComponent(); });
}

// regsvr32 /n /i:user registers for the current user only (HKCU\Software\Classes,
// no administrator rights needed); /u /n /i:user removes that again.  Without
// a command line it is the machine-wide registration.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return ComBarrier([&]() -> HRESULT {
        if (commandLine == nullptr || *commandLine == L'\0') return install ? Register() : UnregisterComponent();
        if (::_wcsicmp(commandLine, L"user") != 0) return E_INVALIDARG;
        return install ? ForCurrentUser(Register) : ForCurrentUser(UnregisterComponent);
    });
}
