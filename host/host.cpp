#include "host.h"

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace kavhost {
namespace {

constexpr UINT_PTR kUiTimer = 1;
constexpr UINT kUiTickMs = 50;
const wchar_t kClassName[] = L"KavhostRequestWindow";

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring windowText(HWND h) {
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 511);
    return buf;
}

std::wstring className(HWND h) {
    wchar_t buf[64] = {};
    GetClassNameW(h, buf, 63);
    return buf;
}

// Caption comparison that ignores access-key ampersands.
std::wstring plain(std::wstring s) {
    s.erase(std::remove(s.begin(), s.end(), L'&'), s.end());
    return s;
}

struct ComRelease {
    void operator()(IUnknown* p) const { if (p) p->Release(); }
};
template <class T> using ComPtr = std::unique_ptr<T, ComRelease>;

struct ModuleFree {
    void operator()(HMODULE m) const { if (m) FreeLibrary(m); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct Variants {
    std::vector<VARIANTARG> v;
    explicit Variants(size_t n) : v(n) { for (VARIANTARG& a : v) VariantInit(&a); }
    ~Variants() { for (VARIANTARG& a : v) VariantClear(&a); }
};

struct FindWindowState { std::wstring caption; HWND found; };

BOOL CALLBACK findThreadWindowProc(HWND h, LPARAM lp) {
    try {
        auto* f = reinterpret_cast<FindWindowState*>(lp);
        if (IsWindowVisible(h) && plain(windowText(h)) == f->caption) {
            f->found = h;
            return FALSE;
        }
    } catch (...) {
    }
    return TRUE;
}

HWND findThreadWindow(const std::wstring& caption) {
    FindWindowState f{plain(caption), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findThreadWindowProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

struct CollectState { const wchar_t* cls; std::vector<HWND> out; };

BOOL CALLBACK collectProc(HWND h, LPARAM lp) {
    try {
        auto* c = reinterpret_cast<CollectState*>(lp);
        if (_wcsicmp(className(h).c_str(), c->cls) == 0) c->out.push_back(h);
    } catch (...) {
    }
    return TRUE;
}

std::vector<HWND> children(HWND parent, const wchar_t* cls) {
    CollectState c{cls, {}};
    EnumChildWindows(parent, collectProc, reinterpret_cast<LPARAM>(&c));
    return c.out;
}

// Ends a window of the command the way a user who gives up would: the
// Cancel, No or OK button of a box, otherwise the close box.
BOOL CALLBACK closeOthersProc(HWND h, LPARAM self) {
    if (h == reinterpret_cast<HWND>(self) || !IsWindowVisible(h)) return TRUE;
    for (int id : {IDCANCEL, IDNO, IDOK}) {
        if (HWND b = GetDlgItem(h, id)) {
            PostMessageW(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
            return TRUE;
        }
    }
    PostMessageW(h, WM_CLOSE, 0, 0);
    return TRUE;
}

HWND findButton(HWND parent, const std::wstring& text) {
    for (HWND b : children(parent, L"Button"))
        if (plain(windowText(b)) == plain(text)) return b;
    return nullptr;
}

void pressButton(HWND button) {
    HWND parent = GetParent(button);
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

std::string describeHresult(long hr) {
    char head[16];
    std::snprintf(head, sizeof head, "0x%08lX", static_cast<unsigned long>(hr));
    wchar_t* msg = nullptr;
    std::string text;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr) && msg) {
        text = narrow(msg);
        LocalFree(msg);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    }
    return text.empty() ? head : std::string(head) + " (" + text + ")";
}

Host::Host(Script script, HostOptions options) : answerer_(std::move(script)), options_(options) {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, "vbcmd_memfilemap");
    if (!mapping_) throw std::runtime_error("cannot create or open the shared block vbcmd_memfilemap: " +
                                            describeHresult(HRESULT_FROM_WIN32(GetLastError())));
    view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, kBlockSize));
    if (!view_) {
        const DWORD e = GetLastError();
        CloseHandle(mapping_);
        throw std::runtime_error("cannot map the shared block: " + describeHresult(HRESULT_FROM_WIN32(e)));
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // may exist already from an earlier Host
    window_ = CreateWindowExW(0, kClassName, L"kavhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                              nullptr, nullptr, wc.hInstance, this);
    if (!window_) {
        const DWORD e = GetLastError();
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
        throw std::runtime_error("cannot create the request window: " + describeHresult(HRESULT_FROM_WIN32(e)));
    }
}

Host::~Host() {
    if (window_) {
        KillTimer(window_, kUiTimer);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
}

LRESULT CALLBACK Host::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self) {
            if (msg == kRequestMessage) return self->onRequest(static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
            if (msg == kExitCommandMessage) return self->onExit();
            if (msg == WM_TIMER && wp == kUiTimer) {
                self->onTimer();
                return 0;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavhost: internal error while answering: %s\n", e.what());
        return 0;
    } catch (...) {
        std::fprintf(stderr, "kavhost: internal error while answering\n");
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void Host::write(FILE* f, const std::string& s) {
    if (!f) return;
    std::fwrite(s.data(), 1, s.size(), f);
    std::fflush(f);
}

void Host::note(const std::string& utf8) { write(options_.text, utf8 + "\n"); }

LRESULT Host::onRequest(uint32_t code, uint32_t lParam) {
    LoggedRequest r;
    r.seq = ++seq_;
    r.message = kRequestMessage;
    r.decoded = decode(code, lParam, payload(), kPayloadSize);
    r.reply = answerer_.reply(code, lParam, r.decoded.names);
    for (const PayloadWrite& w : r.reply.writes)
        if (w.offset + w.bytes.size() <= kPayloadSize) std::memcpy(payload() + w.offset, w.bytes.data(), w.bytes.size());

    if (options_.text) {
        std::string s = "#" + std::to_string(r.seq) + " " + formatText(r.decoded);
        char a[48];
        std::snprintf(a, sizeof a, "    -> answer %d", static_cast<int32_t>(r.reply.answer));
        s += a;
        if (r.reply.answer > 0xFFFF) {
            std::snprintf(a, sizeof a, " (0x%08X)", r.reply.answer);
            s += a;
        }
        s += "  [" + r.reply.source + "]\n";
        for (const PayloadWrite& w : r.reply.writes)
            s += "    <- wrote " + std::to_string(w.bytes.size()) + " bytes at @" + std::to_string(w.offset) + "\n";
        write(options_.text, s);
    }
    if (options_.json) {
        std::string j = formatJson(r.decoded);
        j.pop_back();  // reopen the object for the host's own fields
        j += ",\"seq\":" + std::to_string(r.seq) + ",\"message\":1534,\"answer\":" +
             std::to_string(static_cast<int32_t>(r.reply.answer)) + ",\"writes\":[";
        for (size_t i = 0; i < r.reply.writes.size(); ++i) {
            if (i) j += ',';
            j += "{\"offset\":";
            j += std::to_string(r.reply.writes[i].offset);
            j += ",\"size\":";
            j += std::to_string(r.reply.writes[i].bytes.size());
            j += '}';
        }
        j += "]}\n";
        write(options_.json, j);
    }
    const uint32_t answer = r.reply.answer;
    log_.push_back(std::move(r));
    return static_cast<LRESULT>(static_cast<int32_t>(answer));
}

LRESULT Host::onExit() {
    ++exitCount_;
    LoggedRequest r;
    r.seq = ++seq_;
    r.message = kExitCommandMessage;
    r.reply.answer = 1;
    r.reply.source = "exit";
    write(options_.text, "#" + std::to_string(r.seq) + " ExitCommandMessage (1765): the command has ended\n");
    write(options_.json, "{\"seq\":" + std::to_string(r.seq) + ",\"message\":1765,\"exports\":[\"VokExitCommand\"],\"answer\":1}\n");
    log_.push_back(std::move(r));
    return 1;
}

// ------------------------------------------------------------ dialog driver

void Host::startUi() {
    uiIndex_ = 0;
    uiTearDown_ = false;
    uiError_.clear();
    uiWindow_ = nullptr;
    uiStepStart_ = GetTickCount();
    if (uiDone()) return;
    uiRunning_ = true;
    SetTimer(window_, kUiTimer, kUiTickMs, nullptr);
}

void Host::failUi(const std::string& why) {
    uiError_ = why;
    note("ui: FAILED: " + why);
    // Do not leave the command waiting for a user who is not there: from now
    // on every tick ends the windows of this thread except the request window
    // until the command returns.
    uiRunning_ = true;
    uiTearDown_ = true;
}

void Host::onTimer() {
    if (!uiRunning_) return;
    static bool busy = false;  // a step that pumps messages must not re-enter
    if (busy) return;
    busy = true;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{busy};
    if (uiTearDown_) {
        if (GetTickCount() - uiStepStart_ >= 400) {
            uiStepStart_ = GetTickCount();
            EnumThreadWindows(GetCurrentThreadId(), closeOthersProc, reinterpret_cast<LPARAM>(window_));
        }
        return;
    }
    const std::vector<UiStep>& steps = answerer_.script().ui;
    if (uiIndex_ >= steps.size()) {
        uiRunning_ = false;
        KillTimer(window_, kUiTimer);
        return;
    }
    const UiStep& step = steps[uiIndex_];
    const DWORD elapsed = GetTickCount() - uiStepStart_;
    if (uiStep(step, elapsed)) {
        ++uiIndex_;
        uiStepStart_ = GetTickCount();
        if (uiIndex_ >= steps.size()) {
            uiRunning_ = false;
            KillTimer(window_, kUiTimer);
        }
    }
}

// Returns true when the step is done; false to try again on the next tick.
bool Host::uiStep(const UiStep& step, DWORD elapsed) {
    const std::string where = "ui " + step.verb + " (script line " + std::to_string(step.line) + ")";
    auto timeout = [&](size_t argIndex) -> DWORD {
        int64_t ms = 0;
        if (step.args.size() > argIndex && parseInteger(step.args[argIndex], ms) && ms >= 0) return static_cast<DWORD>(ms);
        return options_.uiTimeoutMs;
    };
    const std::vector<std::string>& a = step.args;
    if (step.verb == "wait" || step.verb == "expect") {
        HWND w = findThreadWindow(widen(a[0]));
        if (w) {
            uiWindow_ = w;
            note("ui: found window \"" + a[0] + "\"");
            return true;
        }
        if (step.verb == "expect" || elapsed > timeout(1)) failUi(where + ": no window \"" + a[0] + "\"");
        return false;
    }
    if (step.verb == "sleep") {
        int64_t ms = 0;
        parseInteger(a[0], ms);
        return elapsed >= static_cast<DWORD>(ms);
    }
    if (step.verb == "signal") {
        HANDLE f = CreateFileW(widen(a[0]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            failUi(where + ": cannot create " + a[0]);
            return false;
        }
        CloseHandle(f);
        return true;
    }
    if (step.verb == "waitfile") {
        if (fileExists(widen(a[0]))) return true;
        if (elapsed > timeout(1)) failUi(where + ": " + a[0] + " did not appear");
        return false;
    }
    if (step.verb == "answer") {
        HWND box = findThreadWindow(widen(a[0]));
        if (box && box == uiLastBox_) box = nullptr;  // the box answered last is still closing
        if (!box) {
            if (elapsed > options_.uiTimeoutMs) failUi(where + ": no message box \"" + a[0] + "\"");
            return false;
        }
        const int id = a[1] == "yes" ? IDYES : a[1] == "no" ? IDNO : IDOK;
        HWND button = GetDlgItem(box, id);
        wchar_t text[1024] = {};
        HWND label = GetDlgItem(box, 0xFFFF);  // the message text of a message box
        if (label) GetWindowTextW(label, text, 1023);
        note("ui: message box \"" + a[0] + "\": " + narrow(text) + " -> " + a[1]);
        if (!button) {
            failUi(where + ": the message box has no " + a[1] + " button");
            return false;
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        uiLastBox_ = box;
        return true;
    }
    if (!uiWindow_ || !IsWindow(uiWindow_)) {
        failUi(where + ": no current window (use ui wait first)");
        return false;
    }
    if (step.verb == "click" || step.verb == "check" || step.verb == "uncheck") {
        HWND b = findButton(uiWindow_, widen(a[0]));
        if (!b) {
            failUi(where + ": no button \"" + a[0] + "\"");
            return false;
        }
        if (step.verb != "click") {
            const WPARAM want = step.verb == "check" ? BST_CHECKED : BST_UNCHECKED;
            if (SendMessageW(b, BM_GETCHECK, 0, 0) == static_cast<LRESULT>(want)) {
                note("ui: \"" + a[0] + "\" is already " + (want ? "checked" : "unchecked"));
                return true;
            }
            SendMessageW(b, BM_SETCHECK, want, 0);
        }
        note("ui: " + step.verb + " \"" + a[0] + "\"");
        pressButton(b);
        return true;
    }
    if (step.verb == "settext") {
        int64_t n = 0;
        parseInteger(a[0], n);
        const std::vector<HWND> edits = children(uiWindow_, L"Edit");
        if (n < 0 || static_cast<size_t>(n) >= edits.size()) {
            failUi(where + ": the window has " + std::to_string(edits.size()) + " edit boxes");
            return false;
        }
        SetWindowTextW(edits[static_cast<size_t>(n)], widen(a[1]).c_str());
        note("ui: edit box " + a[0] + " = \"" + a[1] + "\"");
        return true;
    }
    if (step.verb == "close") {
        note("ui: close \"" + narrow(windowText(uiWindow_)) + "\"");
        PostMessageW(uiWindow_, WM_CLOSE, 0, 0);
        return true;
    }
    failUi(where + ": unknown step");
    return false;
}

// ------------------------------------------------------------ component runner

namespace {

bool endsWithDll(const std::string& s) {
    return s.size() > 4 && _stricmp(s.c_str() + s.size() - 4, ".dll") == 0;
}

HRESULT registerServer(const std::string& dll, std::string& error) {
    UniqueModule m(LoadLibraryW(widen(dll).c_str()));
    if (!m) {
        error = "cannot load " + dll + ": " + describeHresult(HRESULT_FROM_WIN32(GetLastError()));
        return E_FAIL;
    }
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m.get(), "DllRegisterServer")));
    if (!fn) {
        error = dll + " has no DllRegisterServer";
        return E_FAIL;
    }
    const HRESULT hr = fn();
    if (FAILED(hr)) error = "DllRegisterServer of " + dll + " failed: " + describeHresult(hr);
    return hr;
}

// The class of the component DLL, from its embedded type library.
HRESULT classOfDll(const std::string& dll, CLSID& clsid, std::string& error) {
    ITypeLib* raw = nullptr;
    HRESULT hr = LoadTypeLibEx(widen(dll).c_str(), REGKIND_NONE, &raw);
    if (FAILED(hr)) {
        error = "cannot read the type library of " + dll + ": " + describeHresult(hr);
        return hr;
    }
    ComPtr<ITypeLib> lib(raw);
    const UINT n = lib->GetTypeInfoCount();
    for (UINT i = 0; i < n; ++i) {
        TYPEKIND kind;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        ITypeInfo* ti = nullptr;
        if (FAILED(lib->GetTypeInfo(i, &ti))) continue;
        ComPtr<ITypeInfo> info(ti);
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            clsid = attr->guid;
            info->ReleaseTypeAttr(attr);
            return S_OK;
        }
    }
    error = dll + " declares no creatable class";
    return E_FAIL;
}

std::string guidText(const GUID& g) {
    wchar_t buf[64] = {};
    StringFromGUID2(g, buf, 63);
    return narrow(buf);
}

}  // namespace

bool Host::runCommand(const RunOptions& o) {
    std::string error;
    if (!o.registerDll.empty()) {
        note("registering " + o.registerDll);
        if (FAILED(registerServer(o.registerDll, error))) {
            note("FAILED: " + error);
            std::fprintf(stderr, "kavhost: %s\n", error.c_str());
            return false;
        }
    }
    CLSID clsid = {};
    HRESULT hr = S_OK;
    if (endsWithDll(o.command)) {
        if (FAILED(classOfDll(o.command, clsid, error))) {
            note("FAILED: " + error);
            std::fprintf(stderr, "kavhost: %s\n", error.c_str());
            return false;
        }
        // Registered from this very file, so that the class runs from here
        // (and finds its folders beside it), even when another copy was
        // registered before.
        if (_stricmp(o.registerDll.c_str(), o.command.c_str()) != 0) {
            note("registering " + o.command + " (class " + guidText(clsid) + ")");
            if (FAILED(registerServer(o.command, error))) {
                note("FAILED: " + error);
                std::fprintf(stderr, "kavhost: %s\n", error.c_str());
                return false;
            }
        }
    } else if (!o.command.empty() && o.command[0] == '{') {
        hr = CLSIDFromString(widen(o.command).c_str(), &clsid);
        if (FAILED(hr)) {
            std::fprintf(stderr, "kavhost: not a class identifier: %s\n", o.command.c_str());
            return false;
        }
    } else {
        hr = CLSIDFromProgID(widen(o.command).c_str(), &clsid);
        if (FAILED(hr)) {
            const std::string msg = "unknown ProgID " + o.command + ": " + describeHresult(hr) +
                                    " (register the component, or pass its DLL with --register)";
            note("FAILED: " + msg);
            std::fprintf(stderr, "kavhost: %s\n", msg.c_str());
            return false;
        }
    }
    note("creating " + o.command + " " + guidText(clsid));
    IDispatch* rawDisp = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&rawDisp));
    if (FAILED(hr)) {
        const std::string msg = "cannot create " + o.command + ": " + describeHresult(hr);
        note("FAILED: " + msg);
        std::fprintf(stderr, "kavhost: %s\n", msg.c_str());
        return false;
    }
    ComPtr<IDispatch> cmd(rawDisp);

    auto invoke = [&](const std::string& method, const std::vector<const char*>& types,
                      const std::vector<std::string>& args, int32_t* byRef) -> HRESULT {
        std::wstring wname = widen(method);
        LPOLESTR names[] = {wname.data()};
        DISPID id = 0;
        HRESULT h = cmd->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(h)) {
            note(method + ": the component does not know this method: " + describeHresult(h));
            return h;
        }
        Variants v(types.size());
        for (size_t i = 0; i < types.size(); ++i) {
            VARIANTARG& a = v.v[types.size() - 1 - i];  // arguments go in reverse order
            const std::string t = types[i];
            int64_t n = 0;
            if (t == "I4&") {
                a.vt = VT_I4 | VT_BYREF;
                a.plVal = reinterpret_cast<LONG*>(byRef);
            } else if (t == "R8") {
                a.vt = VT_R8;
                a.dblVal = std::strtod(args[i].c_str(), nullptr);
            } else if (t == "BSTR") {
                a.vt = VT_BSTR;
                a.bstrVal = SysAllocString(widen(args[i]).c_str());
            } else {
                parseInteger(args[i], n);
                if (t == "I2") { a.vt = VT_I2; a.iVal = static_cast<SHORT>(n); }
                else { a.vt = VT_I4; a.lVal = static_cast<LONG>(n); }
            }
        }
        DISPPARAMS dp = {v.v.data(), nullptr, static_cast<UINT>(v.v.size()), 0};
        EXCEPINFO ex = {};
        UINT bad = 0;
        h = cmd->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, &ex, &bad);
        if (h == DISP_E_EXCEPTION) {
            if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
            const HRESULT inner = ex.scode ? ex.scode : E_FAIL;
            note(method + " failed: " + describeHresult(inner) +
                 (ex.bstrDescription ? " " + narrow(ex.bstrDescription) : std::string()));
            SysFreeString(ex.bstrSource);
            SysFreeString(ex.bstrDescription);
            SysFreeString(ex.bstrHelpFile);
            return inner;
        }
        return h;
    };

    bool ok = true;
    int32_t nCode = 0;
    const std::string hwndText = std::to_string(static_cast<int32_t>(reinterpret_cast<intptr_t>(window_)));
    note("VokProcStartCmd(hWnd " + hwndText + ", nCmdLine " + std::to_string(o.cmdLine) + ", nCode 0)");
    startUi();
    hr = invoke("VokProcStartCmd", {"I4", "I4", "I4&"}, {hwndText, std::to_string(o.cmdLine), ""}, &nCode);
    KillTimer(window_, kUiTimer);
    uiRunning_ = false;
    uiTearDown_ = false;
    note("VokProcStartCmd returned " + describeHresult(hr) + ", nCode = " + std::to_string(nCode));
    if (FAILED(hr)) ok = false;
    if (SUCCEEDED(hr) && !exitSeen()) {
        note("FAILED: the command returned without ExitCommandMessage");
        ok = false;
    }
    if (uiFailed()) ok = false;
    else if (!uiDone()) {
        note("FAILED: the command ended before the ui steps were done (next: script line " +
             std::to_string(answerer_.script().ui[uiIndex_].line) + ")");
        ok = false;
    }
    for (const EventCall& e : answerer_.script().events) {
        const EventMethod* m = findEventMethod(e.method);
        if (!m) continue;
        int32_t ref = 0;
        std::string args;
        for (const std::string& s : e.args) args += (args.empty() ? "" : ", ") + s;
        note(e.method + "(" + args + ")");
        const HRESULT eh = invoke(e.method, m->params, e.args, &ref);
        note(e.method + " returned " + describeHresult(eh));
        if (FAILED(eh)) ok = false;
    }
    return ok;
}

void Host::serve(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (!exitSeen()) {
        const DWORD passed = GetTickCount() - start;
        if (passed >= ms) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(ms - passed, 100), QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace kavhost
