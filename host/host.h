// The stand-in host's request window: its view of the shared block, the
// window that answers RequestMessage and ExitCommandMessage, and the request
// log (readable, JSON lines, session recording).  Everything runs on the
// thread that creates the Host.  The dialog driver (dialog_driver.h) and the
// component runner (component_runner.h) work on top of it.
#pragma once
#include "answer_script.h"
#include "decoder.h"
#include "kav/handles.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kavhost {

struct LoggedRequest {
    uint32_t seq = 0;
    uint32_t message = 0;          // 1534 or 1765
    Decoded decoded;
    std::vector<uint8_t> request;  // the request's payload bytes as they arrived
    Reply reply;
};

struct HostOptions {
    FILE* text = nullptr;    // readable log (UTF-8), or none
    FILE* json = nullptr;    // JSON lines, or none
    FILE* record = nullptr;  // session recording (session.h), or none
};

// Answers in place of the script, for instance from a recorded session.
class ReplySource {
public:
    virtual ~ReplySource() = default;
    // `request` is what arrived; the reply's writes go into the payload area.
    virtual Reply reply(const LoggedRequest& request) = 0;
};

class Host {
public:
    // Opens (or creates) the block and creates the window; throws
    // std::runtime_error with a readable reason when either fails.
    Host(Script script, HostOptions options);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND window() const { return window_.get(); }
    uint8_t* payload() const { return static_cast<uint8_t*>(view_.get()) + 4; }
    const Script& script() const { return answerer_.script(); }
    const std::vector<LoggedRequest>& requests() const { return log_; }
    bool exitSeen() const { return exitCount_ > 0; }
    int exitCount() const { return exitCount_; }
    void forgetRequests() { log_.clear(); exitCount_ = 0; }
    void setReplySource(ReplySource* source) { source_ = source; }

    // A line of the readable log.
    void note(const std::string& utf8);
    // A failure: into the readable log, and kept as the reason that
    // kavhost prints on standard error at its end.
    void fail(const std::string& utf8);
    const std::vector<std::string>& failures() const { return failures_; }
    // Writes a line into the session recording, if there is one.
    void record(const std::string& line);

    // Pumps messages until the exit message arrives or `ms` pass.
    void serve(DWORD ms);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onRequest(uint32_t code, uint32_t lParam);
    LRESULT onExit();
    void applyWrites(const Reply& reply);
    void logText(const LoggedRequest& r);
    void logJson(const LoggedRequest& r);

    Answerer answerer_;
    HostOptions options_;
    ReplySource* source_ = nullptr;
    kav::UniqueMappingHandle mapping_;
    kav::UniqueView view_;
    kav::UniqueWindow window_;
    std::vector<LoggedRequest> log_;
    std::vector<std::string> failures_;
    Decoded written_;  // the last request decoded again after the host's writes
    uint32_t seq_ = 0;
    int exitCount_ = 0;
};

// Writes text to a log stream and flushes it (nothing when f is null).
void writeLog(FILE* f, const std::string& s);

}  // namespace kavhost
