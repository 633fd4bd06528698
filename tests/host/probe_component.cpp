// A small command component for kavhost's own tests: a creatable class whose
// IDispatch knows a few event methods by name.  VokProcStartCmd binds the
// host like a command does and then, by nCmdLine:
//   0  ends at once (VokExitCommand)
//   2  asks a question in a message box, tells the host the answer through
//      VokCommandGuide, ends
//   3  fails without the exit message
//   4  shows a small dialog, ends when it closes
//   5  stays: a later VokProcPositionEvent ends the command
//   6  ends, then makes one more request (VokCommandGuide "after exit")
// VokProcButtonEvent asks the host for the panel of its csbID and tells it
// which panel it got ("panel N", with " inside the dialog" while the dialog
// is open); it fails when State is 99, and when State is 98 refuses its
// third argument as Invoke does a VARIANT of the wrong type.
// VokProcPositionEvent tells the host "position" and ends the command;
// with posType 2 it ends first and then makes that request.  Built with
// KAVHOST_PROBE_NEEDS_DEPENDENCY it imports kavhost_probe_dep.dll.
#include "kav/com_ref.h"
#include "kav/handles.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const CLSID kClsid = {0x6e0a7c55, 0x0f2b, 0x4c8e, {0x9b, 0x7a, 0x3d, 0x2f, 0x1a, 0x5c, 0x9e, 0x01}};
const wchar_t kClsidText[] = L"{6E0A7C55-0F2B-4C8E-9B7A-3D2F1A5C9E01}";
const wchar_t kProgId[] = L"kavhost.Probe";
HMODULE g_module = nullptr;

#ifdef KAVHOST_PROBE_NEEDS_DEPENDENCY
extern "C" __declspec(dllimport) int kavhostProbeDependency();
#endif
LONG g_objects = 0;
bool g_dialogOpen = false;

enum : DISPID { kStart = 1, kButton = 2, kEnd = 3, kPosition = 4 };

template <class Fn> Fn bind(const char* name) {
    HMODULE lib = LoadLibraryA("kavlink.dll");
    return lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}

// A dialog from an in-memory template: caption "probe dialog", an edit box,
// a check box "Confirm" and the buttons "OK(&O)" and "Cancel".  OK reports
// the edit text and the check state through VokCommandGuide.
struct DialogTemplate {
    std::vector<WORD> words;
    void align() { if (words.size() % 2) words.push_back(0); }
    void text(const wchar_t* t) { for (; *t; ++t) words.push_back(*t); words.push_back(0); }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t* caption) {
        align();
        DLGITEMTEMPLATE it{WS_CHILD | WS_VISIBLE | style, 0, x, y, cx, cy, id};
        const WORD* w = reinterpret_cast<const WORD*>(&it);
        words.insert(words.end(), w, w + sizeof it / 2);
        words.push_back(0xFFFF);
        words.push_back(cls);
        text(caption);
        words.push_back(0);
    }
};

INT_PTR CALLBACK probeDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    try {
        if (msg == WM_INITDIALOG) return TRUE;
        if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
            if (LOWORD(wp) == IDOK) {
                char text[128] = {};
                GetDlgItemTextA(dlg, 100, text, sizeof text - 8);
                std::strcat(text, IsDlgButtonChecked(dlg, 101) == BST_CHECKED ? " checked" : " unchecked");
                using Guide = int32_t(WINAPI*)(const char*);
                if (auto guide = bind<Guide>("VokCommandGuide")) guide(text);
            }
            EndDialog(dlg, LOWORD(wp));
            return TRUE;
        }
        if (msg == WM_CLOSE) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
    } catch (...) {
        OutputDebugStringA("kavhost probe: exception in the dialog procedure\n");
    }
    return FALSE;
}

INT_PTR showProbeDialog(HWND owner) {
    DialogTemplate t;
    DLGTEMPLATE head{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE, 0, 4, 0, 0, 200, 80};
    WORD w[sizeof head / 2];
    std::memcpy(w, &head, sizeof head);
    t.words.assign(w, w + sizeof head / 2);
    t.words.push_back(0);  // no menu
    t.words.push_back(0);  // standard class
    t.text(L"probe dialog");
    t.item(ES_AUTOHSCROLL | WS_BORDER, 10, 10, 180, 14, 100, 0x0081, L"");
    t.item(BS_AUTOCHECKBOX, 10, 30, 100, 12, 101, 0x0080, L"Confirm");
    t.item(BS_DEFPUSHBUTTON, 40, 55, 50, 14, IDOK, 0x0080, L"OK(&O)");
    t.item(BS_PUSHBUTTON, 110, 55, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    t.align();
    g_dialogOpen = true;
    const INT_PTR r = DialogBoxIndirectW(g_module, reinterpret_cast<DLGTEMPLATE*>(t.words.data()), owner, probeDialogProc);
    g_dialogOpen = false;
    return r;
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
        else if (_wcsicmp(names[0], L"VokProcPositionEvent") == 0) ids[0] = kPosition;
        else {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                     UINT* argErr) override {
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
            using Exit = int32_t(WINAPI*)();
            using Guide = int32_t(WINAPI*)(const char*);
            auto exitCommand = bind<Exit>("VokExitCommand");
            auto guide = bind<Guide>("VokCommandGuide");
            if (id == kStart && p->cArgs == 3) {
                using Init = void(WINAPI*)(int32_t, int32_t);
                auto init = bind<Init>("InitVBCmdLib");
                if (!init || !exitCommand || !guide) return E_FAIL;
                const LONG hwnd = arg(0), cmdLine = arg(1);
                init(hwnd, cmdLine);
                VARIANTARG* code = &p->rgvarg[0];
                if (code->vt == (VT_I4 | VT_BYREF)) *code->plVal = 1;
                if (cmdLine == 3) return E_FAIL;
                if (cmdLine == 5) return S_OK;
                if (cmdLine == 2) {
                    const int answer = MessageBoxW(reinterpret_cast<HWND>(static_cast<intptr_t>(hwnd)),
                                                   L"continue?", L"probe question", MB_YESNO);
                    guide(answer == IDYES ? "yes" : "no");
                }
                if (cmdLine == 4) showProbeDialog(reinterpret_cast<HWND>(static_cast<intptr_t>(hwnd)));
                exitCommand();
                if (cmdLine == 6) guide("after exit");
                return S_OK;
            }
            if (id == kButton && p->cArgs == 3) {
                using Handle = int32_t(WINAPI*)(int16_t);
                auto handle = bind<Handle>("VokGetCSBHandle");
                if (!handle || !guide) return E_FAIL;
                if (arg(2) == 98) {
                    if (argErr) *argErr = 0;  // counted from the last argument: State
                    return DISP_E_TYPEMISMATCH;
                }
                const int32_t panel = handle(static_cast<int16_t>(arg(0)));
                if (arg(2) == 99) return E_INVALIDARG;
                const std::string told = "panel " + std::to_string(panel) + (g_dialogOpen ? " inside the dialog" : "");
                guide(told.c_str());
                return S_OK;
            }
            if (id == kPosition && p->cArgs == 3) {
                if (!exitCommand || !guide) return E_FAIL;
                if (arg(0) == 2) exitCommand();
                guide("position");
                if (arg(0) != 2) exitCommand();
                return S_OK;
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
        const kav::ComRef<Probe> p(new (std::nothrow) Probe);  // its first reference
        if (!p) return E_OUTOFMEMORY;
        return p->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factory;

bool setKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    kav::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
#ifdef KAVHOST_PROBE_NEEDS_DEPENDENCY
    if (reason == DLL_PROCESS_DETACH) kavhostProbeDependency();
#endif
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
