// A small command component for kavhost's own tests: a creatable class whose
// IDispatch knows the event methods by name.  VokProcStartCmd binds the host
// like a command does, asks a question in a message box when nCmdLine is 2
// (and tells the host the answer through VokCommandGuide), fails without the
// exit message when nCmdLine is 3; VokProcButtonEvent asks the host for the
// panel of its csbID and fails when State is 99.
#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>

namespace {

const CLSID kClsid = {0x6e0a7c55, 0x0f2b, 0x4c8e, {0x9b, 0x7a, 0x3d, 0x2f, 0x1a, 0x5c, 0x9e, 0x01}};
const wchar_t kClsidText[] = L"{6E0A7C55-0F2B-4C8E-9B7A-3D2F1A5C9E01}";
const wchar_t kProgId[] = L"kavhost.Probe";
HMODULE g_module = nullptr;
LONG g_objects = 0;

enum : DISPID { kStart = 1, kButton = 2, kEnd = 3 };

template <class Fn> Fn bind(const char* name) {
    HMODULE lib = LoadLibraryA("kavlink.dll");
    return lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}

class Probe : public IDispatch {
public:
    Probe() { InterlockedIncrement(&g_objects); }
    virtual ~Probe() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count != 1) return E_INVALIDARG;
        if (_wcsicmp(names[0], L"VokProcStartCmd") == 0) ids[0] = kStart;
        else if (_wcsicmp(names[0], L"VokProcButtonEvent") == 0) ids[0] = kButton;
        else if (_wcsicmp(names[0], L"VokProcEndCmd") == 0) ids[0] = kEnd;
        else {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        try {
            if (!p) return E_INVALIDARG;
            auto arg = [&](UINT i) -> LONG {  // argument i in call order
                VARIANT v;
                VariantInit(&v);
                VARIANTARG* a = &p->rgvarg[p->cArgs - 1 - i];
                if (a->vt == (VT_I4 | VT_BYREF)) return *a->plVal;
                if (FAILED(VariantChangeType(&v, a, 0, VT_I4))) return 0;
                return v.lVal;
            };
            if (id == kStart && p->cArgs == 3) {
                using Init = void(WINAPI*)(int32_t, int32_t);
                using Exit = int32_t(WINAPI*)();
                using Guide = int32_t(WINAPI*)(const char*);
                auto init = bind<Init>("InitVBCmdLib");
                auto exitCommand = bind<Exit>("VokExitCommand");
                auto guide = bind<Guide>("VokCommandGuide");
                if (!init || !exitCommand || !guide) return E_FAIL;
                const LONG hwnd = arg(0), cmdLine = arg(1);
                init(hwnd, cmdLine);
                VARIANTARG* code = &p->rgvarg[0];
                if (code->vt == (VT_I4 | VT_BYREF)) *code->plVal = 1;
                if (cmdLine == 3) return E_FAIL;
                if (cmdLine == 2) {
                    const int answer = MessageBoxW(reinterpret_cast<HWND>(static_cast<intptr_t>(hwnd)),
                                                   L"continue?", L"probe question", MB_YESNO);
                    guide(answer == IDYES ? "yes" : "no");
                }
                exitCommand();
                return S_OK;
            }
            if (id == kButton && p->cArgs == 3) {
                using Handle = int32_t(WINAPI*)(int16_t);
                auto handle = bind<Handle>("VokGetCSBHandle");
                if (!handle) return E_FAIL;
                handle(static_cast<int16_t>(arg(0)));
                return arg(2) == 99 ? E_INVALIDARG : S_OK;
            }
            if (id == kEnd) return S_OK;
            return DISP_E_MEMBERNOTFOUND;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    LONG refs_ = 1;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        Probe* p = new (std::nothrow) Probe;
        if (!p) return E_OUTOFMEMORY;
        const HRESULT hr = p->QueryInterface(iid, out);
        p->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factory;

bool setKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsidText;
    const bool ok = setKey(cls + L"\\InprocServer32", nullptr, path) &&
                    setKey(cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                    setKey(std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText);
    return ok ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }
