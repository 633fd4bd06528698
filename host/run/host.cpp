#include "run/host.h"
#include "report.h"
#include "decode/request_text.h"

#include "model/audit.h"
#include "model/model.h"
#include "recording/session.h"
#include "script/host_text.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kavhost {
namespace {

const wchar_t kClassName[] = L"KavhostRequestWindow";

std::runtime_error lastError(const std::string& what) {
    return std::runtime_error(what + ": " + describeHresult(HRESULT_FROM_WIN32(GetLastError())));
}

// The Host whose recording a crash would cut short.
Host* g_recording = nullptr;
constexpr size_t kRecordBuffer = 64u << 10;

}  // namespace

void writeLog(FILE* f, const std::string& s) {
    if (!f) return;
    std::fwrite(s.data(), 1, s.size(), f);
    std::fflush(f);
}

void writeLine(FILE* f, std::string_view s, bool flush) {
    if (!f) return;
    std::fwrite(s.data(), 1, s.size(), f);
    std::fwrite("\n", 1, 1, f);  // not fputc: this C runtime writes a stream out at each line end fputc puts
    if (flush) std::fflush(f);
}

Host::Host(Script script, HostOptions options) : answerer_(std::move(script)), options_(options) {
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kav::kBlockSize, kav::kBlockName));
    if (!mapping_) throw lastError("cannot create or open the shared block " + narrow(kav::kBlockName));
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kav::kBlockSize));
    if (!view_) throw lastError("cannot map the shared block");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // fails harmlessly when an earlier Host registered it
    window_.reset(CreateWindowExW(0, kClassName, L"kavhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                  nullptr, nullptr, wc.hInstance, this));
    if (!window_) throw lastError("cannot create the request window");
    if (options_.record) {
        // Flushed per event, so a buffer of its own saves most writes.
        if (options_.record != stdout) std::setvbuf(options_.record, nullptr, _IOFBF, kRecordBuffer);
        g_recording = this;
    }
}

Host::~Host() {
    if (g_recording == this) g_recording = nullptr;
    writeHeld();
}

// Lines held behind an event that never returned (the run broke off): what
// is complete still goes out.
void Host::writeHeld() {
    if (!options_.record) return;
    for (const std::optional<std::string>& line : held_)
        if (line) writeLine(options_.record, *line, false);
    held_.clear();
    std::fflush(options_.record);
}

void Host::writeOutBeforeDying() noexcept {
    if (g_recording) g_recording->writeHeld();  // writes only what it holds: nothing here allocates
    std::fflush(nullptr);
}

int DeliveredEvent::codeSlot() const {
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i] == kByRefCode) return static_cast<int>(i);
    return -1;
}

int32_t DeliveredEvent::nCodeIn() const {
    const int slot = codeSlot();
    int64_t n = 0;
    if (slot < 0 || static_cast<size_t>(slot) >= args.size() || !parseInteger(args[static_cast<size_t>(slot)], n)) return 0;
    return static_cast<int32_t>(n);
}

// The window of the thread's last Host, and that Host: a request finds its
// Host without asking the window (the window's own pointer answers for any
// other Host of the thread).
thread_local HWND t_window = nullptr;
thread_local Host* t_host = nullptr;

LRESULT CALLBACK Host::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
            t_window = h;
            t_host = static_cast<Host*>(cs->lpCreateParams);
        }
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(h, GWLP_USERDATA, 0);
            if (h == t_window) t_window = nullptr, t_host = nullptr;
        }
        if (msg == kav::kRequestMessage || msg == kav::kExitCommandMessage) {
            auto* self = h == t_window ? t_host : reinterpret_cast<Host*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self && msg == kav::kRequestMessage) return self->onRequest(static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
            if (self) return self->onExit();
        }
    } catch (...) {
        reportCaught("while answering");
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void Host::note(const std::string& utf8) { writeLog(options_.text, utf8 + "\n"); }

void Host::fail(const std::string& utf8) {
    if (stopped()) {
        note("after the replay stopped: " + utf8);
        return;
    }
    note("FAILED: " + utf8);
    failures_.push_back(utf8);
}

void Host::differ(const std::string& utf8) {
    if (stopped()) return;
    if (timedOut_) {
        note("after the timeout: " + utf8);
        return;
    }
    note("REPLAY DIFFERS: " + utf8);
    difference_ = utf8;
}

void Host::timedOut(const std::string& utf8) {
    if (timedOut_) return;
    fail(utf8);
    timedOut_ = true;
}

void Host::record(const std::string& line) {
    if (!options_.record) return;
    if (held_.empty()) writeLine(options_.record, line, false);
    else held_.push_back(line);
}

size_t Host::holdRecord() {
    const size_t slot = heldBase_ + held_.size();
    if (options_.record) held_.emplace_back();
    return slot;
}

void Host::fillRecord(size_t slot, std::string line) {
    if (!options_.record || slot < heldBase_ || slot - heldBase_ >= held_.size()) return;
    held_[slot - heldBase_] = std::move(line);
    flushRecord();
}

void Host::flushRecord() {
    while (!held_.empty() && held_.front()) {
        writeLine(options_.record, *held_.front(), false);
        held_.pop_front();
        ++heldBase_;
    }
}

std::string Host::madeBy() const {
    const std::string e = currentEvent();
    return e.empty() ? "outside any event" : "made by " + e;
}

bool Host::beginEvent(DeliveredEvent& e) {
    if (stopped() || timedOut_ || (source_ && !source_->delivering(e)) || stopped()) return false;
    progressed();
    e.seq = ++seq_;
    const EventMethod* m = findEventMethod(e.method);
    std::string args;
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) args += ", ";
        if (m && i < m->paramNames.size()) {
            args += m->paramNames[i];
            args += ' ';
        }
        args += e.args[i];
    }
    std::string line = "#";
    line += std::to_string(e.seq);
    line += ' ';
    line += e.method;
    line += '(';
    line += args;
    line += ')';
    if (e.inDialog) line += " inside the dialog";
    if (e.inside) line += " inside request #" + std::to_string(e.inside);
    note(line);
    open_.push_back({e.seq, holdRecord(), e.label});
    return true;
}

void Host::endEvent(const DeliveredEvent& e) {
    progressed();
    const int code = e.codeSlot();
    note(e.method + " returned " + describeHresult(e.hr) + (code >= 0 ? ", nCode = " + std::to_string(e.nCodeOut) : ""));
    if (!open_.empty() && open_.back().seq == e.seq) {
        const size_t slot = open_.back().slot;
        open_.pop_back();
        fillRecord(slot, eventRecord(e));
    }
    if (options_.record) std::fflush(options_.record);
    if (options_.model) options_.model->delivered(e);
    if (source_) source_->returned(e);
}

void Host::endSession() {
    if (source_) source_->sessionEnds(exitSeen());
}

void Host::applyWrites(const Reply& reply) {
    for (const PayloadWrite& w : reply.writes)
        if (w.offset <= kav::kPayloadSize && w.bytes.size() <= kav::kPayloadSize - w.offset)
            std::memcpy(payload() + w.offset, w.bytes.data(), w.bytes.size());
}

// The request has been read; the event goes in before the answer.  Its own
// requests use the same payload area, so the request's bytes are put back
// before the answer's writes land on them.
void Host::deliverInside(LoggedRequest& r) {
    const EventCall call = *r.reply.inside;
    const std::string what = r.decoded.nameText() + " (seq " + std::to_string(r.seq) + ")";
    if (!insideSink_) {
        fail(call.label() + ": no command to deliver the event to inside " + what);
        return;
    }
    note("delivering " + call.label() + " inside " + what + ", before the answer");
    insideSink_(call, r.seq);
    if (std::memcmp(payload(), r.request.data(), r.request.size()) != 0)
        note("the requests made inside " + call.method + " overwrote the payload of " + what +
             "; kavhost put the request back before answering");
    std::memcpy(payload(), r.request.data(), r.request.size());
}

LRESULT Host::onRequest(uint32_t code, uint32_t lParam) {
    progressed();
    const bool afterExit = exitSeen();  // an exit inside the event below is after this request
    if (depth_ == spare_.size()) spare_.push_back(std::make_unique<Slot>());
    Slot& mine = *spare_[depth_];
    LoggedRequest& r = mine.request;
    struct Depth {
        size_t& d;
        ~Depth() { --d; }
    } const nested{++depth_};
    r.seq = ++seq_;
    r.message = kav::kRequestMessage;
    decodeInto(r.decoded, code, lParam, payload(), kav::kPayloadSize, false);
    r.request.assign(payload(), payload() + r.decoded.total);
    if (describes()) describe(r.decoded, r.request.data());
    if (source_) {
        r.reply = source_->reply(r);
        if (options_.model) options_.model->learn(r);
    } else {
        Reply& scripted = mine.scripted;
        Reply& modelled = mine.modelled;
        scripted = answerer_.reply(code, lParam, r.decoded.names, r.decoded.layout);
        // The model answers what no rule does; a rule with writes and no
        // answer takes the model's answer.  Otherwise it follows the rule.
        if (options_.model && scripted.defaultAnswer && options_.model->answer(r, modelled)) {
            if (scripted.writes.empty()) {
                // An event the rule delivers inside the request stays with it.
                modelled.inside = std::move(scripted.inside);
                if (modelled.inside) modelled.source = scripted.source + " + model";
                std::swap(r.reply, modelled);
            } else {
                scripted.answer = modelled.answer;
                scripted.defaultAnswer = false;
                scripted.source += " + model";
                std::swap(r.reply, scripted);
            }
        } else {
            std::swap(r.reply, scripted);
            if (options_.model) options_.model->learn(r);
        }
    }
    // The request's line stands before the lines of an event delivered
    // inside it, and is written once the answer is known.  Without such an
    // event nothing comes in between: the line goes where record() puts it.
    const bool holds = r.reply.inside.has_value();
    const size_t slot = holds ? holdRecord() : 0;
    if (r.reply.inside) deliverInside(r);
    applyWrites(r.reply);
    if (options_.audit) options_.audit->check(r);
    if (options_.text) {
        if (!r.reply.writes.empty()) written_ = decode(code, lParam, payload(), kav::kPayloadSize);
        logText(r);
    }
    if (options_.json) writeLine(options_.json, jsonLogLine(r));
    if (options_.record) {
        line_.clear();
        appendRequestRecord(line_, r);
        if (holds) fillRecord(slot, line_);
        else record(line_);
    }
    if (afterExit)
        fail(r.decoded.nameText() + " (code " + std::to_string(code) + ", seq " + std::to_string(r.seq) +
             ") arrived after the exit message, " + madeBy());
    const uint32_t answer = r.reply.answer;
    keep(r);
    return static_cast<LRESULT>(static_cast<int32_t>(answer));
}

void Host::keep(LoggedRequest& r) {
    ++messageCount_;
    if (options_.keepRequests) log_.push_back(std::move(r));
}

LRESULT Host::onExit() {
    progressed();
    LoggedRequest r;
    r.seq = ++seq_;
    r.message = kav::kExitCommandMessage;
    r.reply = source_ ? source_->reply(r) : Reply{1, {}, "exit", {}};
    writeLog(options_.text, std::string("#") + std::to_string(r.seq) + " ExitCommandMessage (" +
                                std::to_string(kav::kExitCommandMessage) + "): the command has ended\n");
    if (options_.json) writeLine(options_.json, jsonLogLine(r));
    if (options_.record) {
        record(requestRecord(r));
        std::fflush(options_.record);
    }
    if (exitSeen())
        fail("ExitCommandMessage (VokExitCommand, seq " + std::to_string(r.seq) + ") arrived after the exit message, " +
             madeBy());
    else
        endedIn_ = currentEvent().empty() ? "no event" : currentEvent();
    ++exitCount_;
    const uint32_t answer = r.reply.answer;
    keep(r);
    return static_cast<LRESULT>(static_cast<int32_t>(answer));
}

void Host::logText(const LoggedRequest& r) {
    if (!options_.text) return;
    std::string s = std::string("#") + std::to_string(r.seq) + " " + formatText(r.decoded);
    char a[48];
    std::snprintf(a, sizeof a, "    -> answer %d", static_cast<int32_t>(r.reply.answer));
    s += a;
    if (r.reply.answer > 0xFFFF) {
        std::snprintf(a, sizeof a, " (0x%08X)", r.reply.answer);
        s += a;
    }
    s += "  [" + r.reply.source + "]\n";
    for (const PayloadWrite& w : r.reply.writes) {
        const std::string value = !w.shown.empty() ? w.shown
                                  : w.shownAs   ? segmentValue(*w.shownAs, w.bytes.data(), static_cast<uint32_t>(w.bytes.size()))
                                                : hexText(w.bytes.data(), w.bytes.size(), 32);
        s += "    <- wrote " + value + " at @" + std::to_string(w.offset) + " (" + std::to_string(w.bytes.size()) +
             " bytes" + landing(r.decoded, written_, w.offset) + ")\n";
    }
    writeLog(options_.text, s);
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
