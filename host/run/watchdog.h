// The session's watchdog: kavhost never waits for ever.  A session that
// makes no progress (no request, no exit message, no event delivered or
// returned, no ui step done) for the timeout fails: the watchdog names what
// the session was waiting for (the next recorded request or event of a
// replay, the next ui step, the command's open dialog) and has the dialog
// driver close the command's windows, so that the command returns.  It
// works from a timer on the request window, which the command's modal loop
// dispatches like every other message of the thread.
#pragma once
#include <windows.h>

#include <string>

namespace kavhost {

class DialogDriver;
class Host;

class Watchdog {
public:
    // `timeoutMs` 0: no watchdog.
    Watchdog(Host& host, DialogDriver& driver, DWORD timeoutMs);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // What the session waits for, in words (also for tests).
    std::string waitingFor() const;

private:
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    Host& host_;
    DialogDriver& driver_;
    DWORD timeoutMs_;
    bool fired_ = false;
};

}  // namespace kavhost
