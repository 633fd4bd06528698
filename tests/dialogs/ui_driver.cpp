#include "ui_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kavtest {
namespace {

constexpr UINT kSendTimeoutMs = 10000;

template <class Pred>
bool WaitFor(Pred pred, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(15);
    }
}

struct ThreadWindows {
    DWORD thread;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectThreadWindow(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<ThreadWindows*>(p);
    if (::GetWindowThreadProcessId(w, nullptr) == f->thread) f->windows.push_back(w);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD thread) {
    ThreadWindows found{thread, {}};
    ::EnumWindows(CollectThreadWindow, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

struct ClassSearch {
    std::wstring cls;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectChildOfClass(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<ClassSearch*>(p);
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    if (_wcsicmp(cls, s->cls.c_str()) == 0) s->found.push_back(w);
    return TRUE;
}

bool IsDialogClass(HWND w) {
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    return std::wstring(cls) == L"#32770";
}

std::wstring WindowText(HWND w) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, kSendTimeoutMs, &copied);
    return std::wstring(buffer, copied < 1024 ? copied : 1023);
}

}  // namespace

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className) {
    ClassSearch s{className, {}};
    ::EnumChildWindows(parent, CollectChildOfClass, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND UiDriver::WaitForWindow(const std::wstring& caption, int timeoutMs) const {
    HWND result = nullptr;
    const bool ok = WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(thread_)) {
                if (IsDialogClass(w) && ::IsWindowVisible(w) && WindowText(w) == caption) {
                    result = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!ok) throw UiTimeout("no window captioned as expected appeared");
    return result;
}

HWND UiDriver::WaitForOwned(HWND owner, int timeoutMs) const {
    HWND result = nullptr;
    const bool ok = WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(thread_)) {
                if (w != owner && ::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == owner && IsDialogClass(w)) {
                    result = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!ok) throw UiTimeout("no owned dialog appeared");
    return result;
}

bool UiDriver::WaitGone(HWND window, int timeoutMs) const {
    return WaitFor([&] { return !::IsWindow(window); }, timeoutMs);
}

bool UiDriver::StaysAbsent(const std::wstring& caption, int ms) const {
    return !WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(thread_)) {
                if (::IsWindowVisible(w) && WindowText(w) == caption) return true;
            }
            return false;
        },
        ms);
}

std::wstring UiDriver::Text(HWND window) const { return WindowText(window); }

void UiDriver::SetText(HWND window, const std::wstring& text) const {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kSendTimeoutMs,
                          &ignored);
}

int UiDriver::CheckState(HWND button) const {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state);
    return static_cast<int>(state);
}

void UiDriver::Click(HWND button) const { ::PostMessageW(button, BM_CLICK, 0, 0); }

void UiDriver::PressEnter(HWND target) const {
    ::PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

void UiDriver::AltKey(HWND target, wchar_t key) const {
    ::PostMessageW(target, WM_SYSCHAR, key, 0x20000001);  // with the Alt bit
}

void UiDriver::CloseBox(HWND window) const { ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::wstring UiDriver::MessageText(HWND box) const {
    for (HWND s : ChildrenOfClass(box, L"Static")) {
        std::wstring t = WindowText(s);
        if (!t.empty()) return t;
    }
    return {};
}

void UiDriver::Answer(HWND box, int id) const {
    HWND button = ::GetDlgItem(box, id);
    if (!button) throw UiTimeout("the message box has no button with the wanted id");
    Click(button);
}

std::wstring UiDriver::AnswerBox(const std::wstring& title, int id, int timeoutMs) const {
    HWND box = WaitForWindow(title, timeoutMs);
    std::wstring text = MessageText(box);
    Answer(box, id);
    if (!WaitGone(box)) throw UiTimeout("the message box did not close");
    return text;
}

LRESULT UiDriver::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

HWND UiDriver::Child(HWND parent, const wchar_t* className, const std::wstring& text) const {
    for (HWND w : ChildrenOfClass(parent, className)) {
        if (WindowText(w) == text) return w;
    }
    throw UiTimeout("a control is missing");
}

HWND UiDriver::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(thread_, &info)) return nullptr;
    return info.hwndFocus;
}

CpuLoad::CpuLoad(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] {
            volatile uint64_t spins = 0;
            while (!stop_.load(std::memory_order_relaxed)) spins = spins + 1;
        });
}

CpuLoad::~CpuLoad() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
}

DialogRun RunDialog(const std::function<HRESULT()>& open, const std::function<void(UiDriver&)>& scenario,
                    int graceMs) {
    const DWORD dialogThread = ::GetCurrentThreadId();
    std::atomic<bool> finished{false};
    std::atomic<bool> forced{false};
    std::thread driver([&] {
        UiDriver ui(dialogThread);
        try {
            scenario(ui);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "scenario step failed: " << e.what();
        }
        if (WaitFor([&] { return finished.load(); }, graceMs)) return;
        ADD_FAILURE() << "a dialog was left open; the watchdog closes it";
        forced = true;
        while (!finished.load()) {
            for (HWND w : TopLevelWindows(dialogThread)) {
                if (!::IsWindowVisible(w)) continue;
                ::PostMessageW(w, WM_COMMAND, IDNO, 0);
                ::PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
                ::PostMessageW(w, WM_CLOSE, 0, 0);
            }
            ::Sleep(100);
        }
    });
    DialogRun run;
    run.hr = open();
    finished = true;
    driver.join();
    run.forced = forced.load();
    return run;
}

}  // namespace kavtest
