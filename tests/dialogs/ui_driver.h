// Drives the commands' dialogs the way a user does, from a second thread:
// the dialog runs modally on the test's thread while a scenario finds
// windows by their captions, types, clicks and answers message boxes.  A
// watchdog closes whatever the scenario leaves open, so a broken dialog
// fails the test instead of hanging it.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kavtest {

// Thrown by a scenario step that waited in vain.
struct UiTimeout : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class UiDriver {
public:
    explicit UiDriver(DWORD dialogThread) : thread_(dialogThread) {}

    // A visible top-level dialog of the dialog thread with this caption.
    HWND WaitForWindow(const std::wstring& caption, int timeoutMs = 15000) const;
    // A visible top-level dialog owned by `owner`.
    HWND WaitForOwned(HWND owner, int timeoutMs = 15000) const;
    // True once `window` is gone.
    bool WaitGone(HWND window, int timeoutMs = 15000) const;
    // True while no window of the dialog thread with this caption shows up
    // within `ms`.
    bool StaysAbsent(const std::wstring& caption, int ms) const;

    std::wstring Text(HWND window) const;
    void SetText(HWND window, const std::wstring& text) const;
    int CheckState(HWND button) const;
    // Posted clicks: a handler may open a modal box, which the scenario then
    // answers.
    void Click(HWND button) const;
    void PressEnter(HWND target) const;
    void AltKey(HWND target, wchar_t key) const;
    void CloseBox(HWND window) const;  // the caption's close box

    // The text of a message box, and a click on its button with `id`.
    std::wstring MessageText(HWND box) const;
    void Answer(HWND box, int id) const;
    // Answers the message box with this title and returns its text.
    std::wstring AnswerBox(const std::wstring& title, int id, int timeoutMs = 15000) const;

    // A message sent to a window of the dialog thread (with a time limit).
    LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // The child of `parent` with this class and text.
    HWND Child(HWND parent, const wchar_t* className, const std::wstring& text) const;

    // The window of the dialog thread that has the keyboard focus.
    HWND Focus() const;

    DWORD dialogThread() const { return thread_; }

private:
    DWORD thread_;
};

// A loaded machine, for as long as the object lives: `threads` busy threads
// in this process compete with the dialog's thread for the processors.
// The destructor stops and joins them.
class CpuLoad {
public:
    explicit CpuLoad(unsigned threads);
    ~CpuLoad();
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

struct DialogRun {
    HRESULT hr = E_FAIL;     // what the dialog call returned
    bool forced = false;     // the watchdog had to close windows
};

// Runs `open` (which shows a modal dialog) on this thread and `scenario` on
// a driver thread.  Whatever is still open `graceMs` after the scenario
// ended (or failed) is closed by force and the test fails.
DialogRun RunDialog(const std::function<HRESULT()>& open, const std::function<void(UiDriver&)>& scenario,
                    int graceMs = 10000);

// Child windows of a dialog with this class name, in z-order.
std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className);

}  // namespace kavtest
