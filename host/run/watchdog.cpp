#include "run/watchdog.h"
#include "report.h"

#include "run/dialog_driver.h"
#include "run/host.h"
#include "script/host_text.h"

#include <cstdio>

namespace kavhost {
namespace {

constexpr UINT_PTR kWatchTimer = 2;  // the dialog driver's is 1
constexpr UINT kWatchTickMs = 250;
const wchar_t kWatchdogProp[] = L"kavhost.Watchdog";

// The caption of a visible window of this thread other than the request
// window: the command's dialog, or a box it shows.  Fixed buffers only, so
// nothing is thrown through the system's frames.
struct CaptionState {
    HWND skip;
    wchar_t caption[256];
};

BOOL CALLBACK captionProc(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<CaptionState*>(lp);
    if (h == c->skip || !IsWindowVisible(h)) return TRUE;
    if (GetWindowTextW(h, c->caption, 255) > 0) return FALSE;
    return TRUE;
}

}  // namespace

Watchdog::Watchdog(Host& host, DialogDriver& driver, DWORD timeoutMs)
    : host_(host), driver_(driver), timeoutMs_(timeoutMs) {
    if (!timeoutMs_) return;
    host_.progressed();
    SetPropW(host_.window(), kWatchdogProp, this);
    SetTimer(host_.window(), kWatchTimer, kWatchTickMs, timerProc);
}

Watchdog::~Watchdog() {
    if (!timeoutMs_) return;
    KillTimer(host_.window(), kWatchTimer);
    RemovePropW(host_.window(), kWatchdogProp);
}

std::string Watchdog::waitingFor() const {
    std::string what = host_.sourceWaitingFor();
    const std::string step = driver_.nextStep();
    if (!step.empty()) what += (what.empty() ? "" : " and ") + std::string("the next ui step, ") + step;
    CaptionState c{host_.window(), {}};
    EnumThreadWindows(GetCurrentThreadId(), captionProc, reinterpret_cast<LPARAM>(&c));
    if (c.caption[0]) {
        const std::string dialog = "the dialog \"" + narrow(c.caption) + "\" to close";
        what += what.empty() ? dialog + (driver_.done() ? " (no ui step is left to close it)" : "")
                             : ", with the dialog \"" + narrow(c.caption) + "\" open";
    }
    return what.empty() ? "the command to return from " + (host_.currentEvent().empty() ? std::string("its event")
                                                                                          : host_.currentEvent())
                        : what;
}

void CALLBACK Watchdog::timerProc(HWND h, UINT, UINT_PTR, DWORD) {
    try {
        if (auto* self = static_cast<Watchdog*>(GetPropW(h, kWatchdogProp))) self->tick();
    } catch (...) {
        reportCaught("in the watchdog");
    }
}

void Watchdog::tick() {
    if (fired_ || GetTickCount() - host_.lastProgress() < timeoutMs_) return;
    fired_ = true;
    host_.timedOut("no progress for " + std::to_string(timeoutMs_) + " ms (--timeout): kavhost waited for " +
                   waitingFor() + "; it closes the command's windows");
    driver_.giveUp();
}

}  // namespace kavhost
