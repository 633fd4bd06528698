// The stand-in host's request window: its view of the shared block, the
// window that answers RequestMessage and ExitCommandMessage, the events
// delivered to the command, and the logs (readable, JSON lines, session
// recording).  Everything runs on the thread that creates the Host.  The
// dialog driver (dialog_driver.h) and the component runner
// (component_runner.h) work on top of it.
#pragma once
#include "exchange.h"
#include "script/answer_script.h"
#include "kav/handles.h"

#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavhost {

namespace model {
class Model;
class Audit;
}  // namespace model

struct HostOptions {
    FILE* text = nullptr;    // readable log (UTF-8), or none
    FILE* json = nullptr;    // JSON lines, or none
    FILE* record = nullptr;  // session recording (session.h), or none; fresh: the Host sets its buffer
    // The model of the host, asked when no rule answers (none: --no-model);
    // it follows what rules and recordings answer, and the events delivered.
    model::Model* model = nullptr;
    // Lists what nobody answered and what was left unwritten, or none.
    model::Audit* audit = nullptr;
    // Keep every message in requests(), for a consumer that reads the
    // session afterwards (the picture, a test).  Off, nothing is kept per
    // message: messageCount() still counts them.
    bool keepRequests = true;
};

class Host {
public:
    // Opens (or creates) the block and creates the window; throws
    // std::runtime_error with a readable reason when either fails.
    Host(Script script, HostOptions options);
    ~Host();
    // For a process about to die of a crash in the command: the recording's
    // complete lines, those held back behind events that never returned
    // included, go out, and every stream is flushed.
    static void writeOutBeforeDying() noexcept;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND window() const { return window_.get(); }
    uint8_t* payload() const { return static_cast<uint8_t*>(view_.get()) + 4; }
    const Script& script() const { return answerer_.script(); }
    // Every message so far, when HostOptions::keepRequests; else empty.
    const std::vector<LoggedRequest>& requests() const { return log_; }
    // Messages so far (requests and exit messages), kept or not.
    size_t messageCount() const { return messageCount_; }
    bool exitSeen() const { return exitCount_ > 0; }
    int exitCount() const { return exitCount_; }
    // The event in which the first exit message arrived.
    const std::string& endedIn() const { return endedIn_; }
    void forgetRequests() {
        log_.clear();
        messageCount_ = 0;
        exitCount_ = 0;
    }
    void setReplySource(ReplySource* source) { source_ = source; }

    // Events.  beginEvent numbers the event, logs it and keeps its place in
    // the recording; it returns false when the session has stopped (the
    // event must then not be delivered, and endEvent is not called).
    // endEvent logs and records the result.  Events nest: a ui event is
    // delivered inside the start event.
    bool beginEvent(DeliveredEvent& e);
    void endEvent(const DeliveredEvent& e);
    // The event being delivered, innermost; "" between events.
    std::string currentEvent() const { return open_.empty() ? std::string() : open_.back().label; }
    // The runner delivers nothing more.
    void endSession();

    // A line of the readable log.
    void note(const std::string& utf8);
    // A failure: into the readable log, and kept as the reason that
    // kavhost prints on standard error at its end.  Once the session has
    // stopped at a replay difference, failures are its consequences and go
    // into the readable log only.
    void fail(const std::string& utf8);
    const std::vector<std::string>& failures() const { return failures_; }
    // The replay's first difference: it stops the session.
    void differ(const std::string& utf8);
    bool stopped() const { return !difference_.empty(); }
    const std::string& difference() const { return difference_; }
    // Writes a line into the session recording, if there is one.  Lines
    // that come after the start of an event that has not returned yet are
    // held back, so that the recording keeps the order of delivery.  The
    // recording is flushed when an event returns, at the exit message and
    // when the Host ends, not after every line.
    void record(const std::string& line);

    // Pumps messages until the exit message arrives or `ms` pass.
    void serve(DWORD ms);

    // Progress of the session: a request, an exit message, an event
    // delivered or returned, a ui step done.  The watchdog reads it.
    void progressed() { lastProgress_ = GetTickCount(); }
    DWORD lastProgress() const { return lastProgress_; }
    // The session has given up after no progress: what is told after that
    // (a replay's difference included) is its consequence.
    void timedOut(const std::string& utf8);
    bool hasTimedOut() const { return timedOut_; }
    // What the reply source expects next, or "".
    std::string sourceWaitingFor() const { return source_ ? source_->waitingFor() : std::string(); }

    // Delivers an event inside a request ("on KEY event ...", or a replay of
    // one): the runner sets it while a component runs.  `inside` is the seq
    // of the request; false when the event was not delivered or failed.
    using InsideSink = std::function<bool(const EventCall&, uint32_t inside)>;
    void setInsideSink(InsideSink sink) { insideSink_ = std::move(sink); }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void writeHeld();
    LRESULT onRequest(uint32_t code, uint32_t lParam);
    LRESULT onExit();
    void applyWrites(const Reply& reply);
    void deliverInside(LoggedRequest& r);
    // A place in the recording kept for a line that is written later.
    size_t holdRecord();
    void fillRecord(size_t slot, std::string line);
    void logText(const LoggedRequest& r);
    // The message's record: into requests() when they are kept.
    void keep(LoggedRequest& r);
    // The readable values, JSON and record lines of a message are made
    // only when one of these asks for them.
    bool describes() const {
        return options_.text || options_.json || options_.record || options_.keepRequests || source_;
    }

    Answerer answerer_;
    HostOptions options_;
    ReplySource* source_ = nullptr;
    kav::UniqueMappingHandle mapping_;
    kav::UniqueView view_;
    kav::UniqueWindow window_;
    void flushRecord();
    std::string madeBy() const;

    struct OpenEvent {
        uint32_t seq;
        size_t slot;  // its place in the recording
        std::string label;
    };

    std::vector<LoggedRequest> log_;
    std::string line_;  // the record line being written, reused
    size_t messageCount_ = 0;
    // One request object per nesting depth (an event delivered inside a
    // request makes requests of its own), reused from request to request,
    // with the replies of the script and the model.  The reply given is
    // swapped in, never copied, so that the storage of the writes goes round.
    struct Slot {
        LoggedRequest request;
        Reply scripted, modelled;
    };
    std::vector<std::unique_ptr<Slot>> spare_;
    size_t depth_ = 0;
    std::vector<std::string> failures_;
    std::string difference_;
    Decoded written_;  // the last request decoded again after the host's writes
    uint32_t seq_ = 0;
    DWORD lastProgress_ = GetTickCount();
    bool timedOut_ = false;
    InsideSink insideSink_;
    int exitCount_ = 0;
    std::string endedIn_;
    std::vector<OpenEvent> open_;                 // events being delivered, outermost first
    std::deque<std::optional<std::string>> held_; // recording lines held back behind an open event
    size_t heldBase_ = 0;                         // the place of held_.front()
};

// Writes text to a log stream and flushes it (nothing when f is null).
void writeLog(FILE* f, const std::string& s);
// The same with a line end after the text; `flush` false leaves the line in
// the stream's buffer.
void writeLine(FILE* f, std::string_view s, bool flush = true);

}  // namespace kavhost
