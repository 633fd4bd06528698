// The dialog driver: works a command's dialog from the script's ui steps as
// a user would (wait for a window, click, check, type, answer a message
// box), from a timer on the request window, while the command runs its
// modal loop inside an event (the start event, as a rule).  A "ui event"
// step delivers an event to the command from there: a call into the
// component while its dialog is open, on the same thread, as the host
// makes it.  When a step fails it ends the command's windows the way a user
// who gives up would, so that the command returns instead of waiting for
// nobody.
#pragma once
#include "script/answer_script.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kavhost {

class Host;

class DialogDriver {
public:
    DialogDriver(Host& host, std::vector<UiStep> steps, DWORD timeoutMs);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Delivers the event of a "ui event" step; false when the session has
    // failed or stopped (the driver then gives up, the failure being told
    // already).  Without a sink such a step fails.
    using EventSink = std::function<bool(const UiStep&)>;
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }

    void start();
    void stop();
    // Stops working the steps and closes the command's windows from now on;
    // `why` becomes the driver's error.
    void abandon(const std::string& why);
    // The same without an error of the driver's own.
    void giveUp();

    bool done() const { return index_ >= steps_.size(); }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    // Script line of the next step not done (0 when all are done).
    int nextLine() const { return done() ? 0 : steps_[index_].line; }

private:
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR, DWORD);
    void tick();
    bool step(const UiStep& s, DWORD elapsed);
    bool waitWindow(const UiStep& s, DWORD elapsed);
    bool signalFile(const UiStep& s);
    bool waitFile(const UiStep& s, DWORD elapsed);
    bool answerBox(const UiStep& s, DWORD elapsed);
    bool pressButton(const UiStep& s);
    bool setText(const UiStep& s);
    bool closeWindow();
    bool deliverEvent(const UiStep& s);
    bool fail(const UiStep& s, const std::string& why);
    DWORD timeout(const UiStep& s, size_t argIndex) const;

    Host& host_;
    EventSink sink_;
    std::vector<UiStep> steps_;
    DWORD timeoutMs_;
    size_t index_ = 0;
    DWORD stepStart_ = 0;
    HWND window_ = nullptr;   // the window the steps work on ("ui wait")
    HWND lastBox_ = nullptr;  // the message box answered last, still closing
    std::string error_;
    bool running_ = false;
    bool tearDown_ = false;
    bool busy_ = false;       // a step that pumps messages must not re-enter
};

}  // namespace kavhost
