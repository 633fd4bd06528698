#include "run/dialog_driver.h"
#include "report.h"

#include "run/host.h"
#include "script/host_text.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace kavhost {
namespace {

constexpr UINT_PTR kUiTimer = 1;
constexpr UINT kUiTickMs = 50;
constexpr DWORD kTearDownEveryMs = 400;
const wchar_t kDriverProp[] = L"kavhost.DialogDriver";

std::wstring windowText(HWND h) {
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 511);
    return buf;
}

// Caption comparison that ignores access-key ampersands.
std::wstring plain(std::wstring s) {
    s.erase(std::remove(s.begin(), s.end(), L'&'), s.end());
    return s;
}

// The window enumeration callbacks work in fixed buffers and allocate
// nothing, so nothing can be thrown through the system's frames.
struct FindWindowState { std::wstring caption; HWND found; };

BOOL CALLBACK findThreadWindowProc(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindWindowState*>(lp);
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 511);
    wchar_t* end = std::remove(buf, buf + wcslen(buf), L'&');
    *end = L'\0';
    if (IsWindowVisible(h) && f->caption == buf) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND findThreadWindow(const std::wstring& caption) {
    FindWindowState f{plain(caption), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findThreadWindowProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

struct CollectState { const wchar_t* cls; HWND out[256]; size_t n; };

BOOL CALLBACK collectProc(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<CollectState*>(lp);
    wchar_t buf[64] = {};
    GetClassNameW(h, buf, 63);
    if (_wcsicmp(buf, c->cls) == 0 && c->n < 256) c->out[c->n++] = h;
    return TRUE;
}

std::vector<HWND> children(HWND parent, const wchar_t* cls) {
    CollectState c{cls, {}, 0};
    EnumChildWindows(parent, collectProc, reinterpret_cast<LPARAM>(&c));
    return std::vector<HWND>(c.out, c.out + c.n);
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

void click(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

DialogDriver::DialogDriver(Host& host, std::vector<UiStep> steps, DWORD timeoutMs)
    : host_(host), steps_(std::move(steps)), timeoutMs_(timeoutMs) {}

DialogDriver::~DialogDriver() { stop(); }

void DialogDriver::start() {
    index_ = 0;
    tearDown_ = false;
    error_.clear();
    window_ = nullptr;
    stepStart_ = GetTickCount();
    if (done()) return;
    running_ = true;
    SetPropW(host_.window(), kDriverProp, this);
    SetTimer(host_.window(), kUiTimer, kUiTickMs, timerProc);
}

void DialogDriver::stop() {
    if (!running_ && !tearDown_) return;
    running_ = false;
    tearDown_ = false;
    KillTimer(host_.window(), kUiTimer);
    RemovePropW(host_.window(), kDriverProp);
}

void DialogDriver::abandon(const std::string& why) {
    if (error_.empty()) error_ = why;
    giveUp();
}

void DialogDriver::giveUp() {
    // From now on every tick ends the windows of this thread except the
    // request window, until the command returns.
    tearDown_ = true;
    if (!running_) {
        running_ = true;
        SetPropW(host_.window(), kDriverProp, this);
        SetTimer(host_.window(), kUiTimer, kUiTickMs, timerProc);
    }
}

void CALLBACK DialogDriver::timerProc(HWND h, UINT, UINT_PTR, DWORD) {
    try {
        if (auto* self = static_cast<DialogDriver*>(GetPropW(h, kDriverProp))) self->tick();
    } catch (...) {
        reportCaught("in the dialog driver");
    }
}

void DialogDriver::tick() {
    if (!running_ || busy_) return;
    busy_ = true;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{busy_};
    if (tearDown_) {
        if (GetTickCount() - stepStart_ >= kTearDownEveryMs) {
            stepStart_ = GetTickCount();
            EnumThreadWindows(GetCurrentThreadId(), closeOthersProc, reinterpret_cast<LPARAM>(host_.window()));
        }
        return;
    }
    if (done()) {
        stop();
        return;
    }
    if (step(steps_[index_], GetTickCount() - stepStart_)) {
        ++index_;
        host_.progressed();
        stepStart_ = GetTickCount();
        if (done() && !tearDown_) stop();
    }
}

std::string DialogDriver::nextStep() const {
    if (done()) return {};
    const UiStep& s = steps_[index_];
    std::string text = "ui " + s.verb;
    for (const std::string& a : s.args) text += " \"" + a + "\"";
    return text + " (script line " + std::to_string(s.line) + ")";
}

DWORD DialogDriver::timeout(const UiStep& s, size_t argIndex) const {
    int64_t ms = 0;
    if (s.args.size() > argIndex && parseInteger(s.args[argIndex], ms) && ms >= 0) return static_cast<DWORD>(ms);
    return timeoutMs_;
}

bool DialogDriver::fail(const UiStep& s, const std::string& why) {
    const std::string where = "ui " + s.verb + " (script line " + std::to_string(s.line) + ")";
    host_.note("ui: FAILED: " + where + ": " + why);
    abandon(where + ": " + why);
    return false;
}

// Returns true when the step is done; false to try again on the next tick.
bool DialogDriver::step(const UiStep& s, DWORD elapsed) {
    if (s.verb == "wait" || s.verb == "expect") return waitWindow(s, elapsed);
    if (s.verb == "sleep") return elapsed >= timeout(s, 0);
    if (s.verb == "signal") return signalFile(s);
    if (s.verb == "waitfile") return waitFile(s, elapsed);
    if (s.verb == "answer") return answerBox(s, elapsed);
    if (s.verb == "event") return deliverEvent(s);
    if (!window_ || !IsWindow(window_)) return fail(s, "no current window (use ui wait first)");
    if (s.verb == "click" || s.verb == "check" || s.verb == "uncheck") return pressButton(s);
    if (s.verb == "settext") return setText(s);
    if (s.verb == "close") return closeWindow();
    return fail(s, "unknown step");
}

bool DialogDriver::waitWindow(const UiStep& s, DWORD elapsed) {
    if (HWND w = findThreadWindow(widen(s.args[0]))) {
        window_ = w;
        host_.note("ui: found window \"" + s.args[0] + "\"");
        return true;
    }
    if (s.verb == "expect" || elapsed > timeout(s, 1)) return fail(s, "no window \"" + s.args[0] + "\"");
    return false;
}

bool DialogDriver::signalFile(const UiStep& s) {
    kav::UniqueFileHandle f(CreateFileW(widen(s.args[0]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return f ? true : fail(s, "cannot create " + s.args[0]);
}

bool DialogDriver::waitFile(const UiStep& s, DWORD elapsed) {
    if (fileExists(widen(s.args[0]))) return true;
    if (elapsed > timeout(s, 1)) return fail(s, s.args[0] + " did not appear");
    return false;
}

bool DialogDriver::answerBox(const UiStep& s, DWORD elapsed) {
    HWND box = findThreadWindow(widen(s.args[0]));
    if (box && box == lastBox_) box = nullptr;  // the box answered last is still closing
    if (!box) {
        if (elapsed > timeoutMs_) return fail(s, "no message box \"" + s.args[0] + "\"");
        return false;
    }
    const int id = s.args[1] == "yes" ? IDYES : s.args[1] == "no" ? IDNO : IDOK;
    wchar_t text[1024] = {};
    if (HWND label = GetDlgItem(box, 0xFFFF)) GetWindowTextW(label, text, 1023);  // a message box's text
    host_.note("ui: message box \"" + s.args[0] + "\": " + narrow(text) + " -> " + s.args[1]);
    HWND button = GetDlgItem(box, id);
    if (!button) return fail(s, "the message box has no " + s.args[1] + " button");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    lastBox_ = box;
    return true;
}

bool DialogDriver::pressButton(const UiStep& s) {
    HWND b = findButton(window_, widen(s.args[0]));
    if (!b) return fail(s, "no button \"" + s.args[0] + "\"");
    if (s.verb != "click") {
        const WPARAM want = s.verb == "check" ? BST_CHECKED : BST_UNCHECKED;
        if (SendMessageW(b, BM_GETCHECK, 0, 0) == static_cast<LRESULT>(want)) {
            host_.note("ui: \"" + s.args[0] + "\" is already " + (want ? "checked" : "unchecked"));
            return true;
        }
        SendMessageW(b, BM_SETCHECK, want, 0);
    }
    host_.note("ui: " + s.verb + " \"" + s.args[0] + "\"");
    click(b);
    return true;
}

bool DialogDriver::setText(const UiStep& s) {
    int64_t n = 0;
    parseInteger(s.args[0], n);
    const std::vector<HWND> edits = children(window_, L"Edit");
    if (n < 0 || static_cast<size_t>(n) >= edits.size())
        return fail(s, "the window has " + std::to_string(edits.size()) + " edit boxes");
    SetWindowTextW(edits[static_cast<size_t>(n)], widen(s.args[1]).c_str());
    host_.note("ui: edit box " + s.args[0] + " = \"" + s.args[1] + "\"");
    return true;
}

bool DialogDriver::deliverEvent(const UiStep& s) {
    if (!sink_) return fail(s, "no command to deliver the event to");
    host_.note("ui: event " + s.args[0]);
    if (!sink_(s)) giveUp();
    return true;
}

bool DialogDriver::closeWindow() {
    host_.note("ui: close \"" + narrow(windowText(window_)) + "\"");
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace kavhost
