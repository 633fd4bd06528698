// The stand-in host: its view of the shared block, the request window that
// answers RequestMessage and ExitCommandMessage, the request log, the dialog
// driver and the command component runner.  Everything runs on the thread
// that creates the Host.
#pragma once
#include "answer_script.h"
#include "decoder.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kavhost {

struct LoggedRequest {
    uint32_t seq = 0;
    uint32_t message = 0;  // 1534 or 1765
    Decoded decoded;
    Reply reply;
};

struct HostOptions {
    FILE* text = nullptr;  // readable log (UTF-8), or none
    FILE* json = nullptr;  // JSON lines, or none
    DWORD uiTimeoutMs = 20000;
};

class Host {
public:
    // Opens (or creates) the block and creates the window; throws
    // std::runtime_error with a readable reason when either fails.
    Host(Script script, HostOptions options);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND window() const { return window_; }
    uint8_t* payload() const { return view_ + 4; }
    const std::vector<LoggedRequest>& requests() const { return log_; }
    bool exitSeen() const { return exitCount_ > 0; }
    int exitCount() const { return exitCount_; }
    void forgetRequests() { log_.clear(); exitCount_ = 0; }

    // Prints a line to the readable log.
    void note(const std::string& utf8);

    // The dialog driver: starts working the script's ui steps from a timer.
    void startUi();
    bool uiDone() const { return uiIndex_ >= answerer_.script().ui.size(); }
    bool uiFailed() const { return !uiError_.empty(); }
    const std::string& uiError() const { return uiError_; }

    // Runs a component: registers it (a DLL given by path always, from that
    // file; otherwise the DLL of --register), creates it, calls
    // VokProcStartCmd with this window, then the script's events.  Returns
    // true when everything succeeded and the command reported its end.
    struct RunOptions {
        std::string command;      // ProgID, {CLSID} or path of the component DLL
        std::string registerDll;  // DLL to register first ("" = only when needed)
        int32_t cmdLine = 0;
    };
    bool runCommand(const RunOptions& options);

    // Pumps messages until the exit message arrives or `ms` pass.
    void serve(DWORD ms);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onRequest(uint32_t code, uint32_t lParam);
    LRESULT onExit();
    void onTimer();
    bool uiStep(const UiStep& step, DWORD elapsed);
    void failUi(const std::string& why);
    void write(FILE* f, const std::string& s);

    Answerer answerer_;
    HostOptions options_;
    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
    HWND window_ = nullptr;
    std::vector<LoggedRequest> log_;
    uint32_t seq_ = 0;
    int exitCount_ = 0;
    // dialog driver
    size_t uiIndex_ = 0;
    DWORD uiStepStart_ = 0;
    HWND uiWindow_ = nullptr;
    HWND uiLastBox_ = nullptr;
    std::string uiError_;
    bool uiRunning_ = false;
    bool uiTearDown_ = false;  // a step failed: ending the command's windows
};

// "0x80004005 (Unspecified error)"
std::string describeHresult(long hr);

}  // namespace kavhost
