#include "host.h"

#include "host_text.h"
#include "session.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kavhost {
namespace {

const wchar_t kClassName[] = L"KavhostRequestWindow";

std::runtime_error lastError(const std::string& what) {
    return std::runtime_error(what + ": " + describeHresult(HRESULT_FROM_WIN32(GetLastError())));
}

// Where a write lands, for the log: the request segment that holds its
// first byte, and that segment's value once the write is in place.
std::string landing(const Decoded& before, const Decoded& after, uint32_t offset) {
    for (size_t i = 0; i < before.segments.size(); ++i) {
        const DecodedSegment& s = before.segments[i];
        if (offset < s.offset || offset >= s.offset + s.size) continue;
        std::string into = ", into " + s.name;
        if (offset != s.offset) into += " +" + std::to_string(offset - s.offset);
        if (i < after.segments.size() && after.segments[i].offset == s.offset)
            into += "; now " + s.name + " = " + after.segments[i].value;
        return into;
    }
    return "";
}

}  // namespace

void writeLog(FILE* f, const std::string& s) {
    if (!f) return;
    std::fwrite(s.data(), 1, s.size(), f);
    std::fflush(f);
}

Host::Host(Script script, HostOptions options) : answerer_(std::move(script)), options_(options) {
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, "vbcmd_memfilemap"));
    if (!mapping_) throw lastError("cannot create or open the shared block vbcmd_memfilemap");
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kBlockSize));
    if (!view_) throw lastError("cannot map the shared block");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // fails harmlessly when an earlier Host registered it
    window_.reset(CreateWindowExW(0, kClassName, L"kavhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                  nullptr, nullptr, wc.hInstance, this));
    if (!window_) throw lastError("cannot create the request window");
}

LRESULT CALLBACK Host::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        if (msg == WM_NCDESTROY) SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        if (auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(h, GWLP_USERDATA))) {
            if (msg == kRequestMessage) return self->onRequest(static_cast<uint32_t>(wp), static_cast<uint32_t>(lp));
            if (msg == kExitCommandMessage) return self->onExit();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavhost: internal error while answering: %s\n", e.what());
        return 0;
    } catch (...) {
        std::fprintf(stderr, "kavhost: internal error while answering\n");
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void Host::note(const std::string& utf8) { writeLog(options_.text, utf8 + "\n"); }

void Host::fail(const std::string& utf8) {
    note("FAILED: " + utf8);
    failures_.push_back(utf8);
}

void Host::record(const std::string& line) { writeLog(options_.record, line + "\n"); }

void Host::applyWrites(const Reply& reply) {
    for (const PayloadWrite& w : reply.writes)
        if (w.offset <= kPayloadSize && w.bytes.size() <= kPayloadSize - w.offset)
            std::memcpy(payload() + w.offset, w.bytes.data(), w.bytes.size());
}

LRESULT Host::onRequest(uint32_t code, uint32_t lParam) {
    LoggedRequest r;
    r.seq = ++seq_;
    r.message = kRequestMessage;
    r.decoded = decode(code, lParam, payload(), kPayloadSize);
    r.request.assign(payload(), payload() + r.decoded.total);
    r.reply = source_ ? source_->reply(r) : answerer_.reply(code, lParam, r.decoded.names);
    applyWrites(r.reply);
    if (options_.text && !r.reply.writes.empty()) written_ = decode(code, lParam, payload(), kPayloadSize);
    logText(r);
    logJson(r);
    if (options_.record) record(recordLine(r));
    const uint32_t answer = r.reply.answer;
    log_.push_back(std::move(r));
    return static_cast<LRESULT>(static_cast<int32_t>(answer));
}

LRESULT Host::onExit() {
    ++exitCount_;
    LoggedRequest r;
    r.seq = ++seq_;
    r.message = kExitCommandMessage;
    r.reply = source_ ? source_->reply(r) : Reply{1, {}, "exit", };
    writeLog(options_.text, std::string("#") + std::to_string(r.seq) + " ExitCommandMessage (1765): the command has ended\n");
    writeLog(options_.json, "{\"seq\":" + std::to_string(r.seq) + ",\"message\":1765,\"exports\":[\"VokExitCommand\"],\"answer\":" +
                                std::to_string(static_cast<int32_t>(r.reply.answer)) + "}\n");
    if (options_.record) record(recordLine(r));
    const uint32_t answer = r.reply.answer;
    log_.push_back(std::move(r));
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
        const std::string value = w.shown.empty() ? hexText(w.bytes.data(), w.bytes.size(), 32) : w.shown;
        s += "    <- wrote " + value + " at @" + std::to_string(w.offset) + " (" + std::to_string(w.bytes.size()) +
             " bytes" + landing(r.decoded, written_, w.offset) + ")\n";
    }
    writeLog(options_.text, s);
}

void Host::logJson(const LoggedRequest& r) {
    if (!options_.json) return;
    std::string j = formatJson(r.decoded);
    j.pop_back();  // reopen the object for the host's own fields
    j += ",\"seq\":" + std::to_string(r.seq) + ",\"message\":1534,\"answer\":" +
         std::to_string(static_cast<int32_t>(r.reply.answer)) + ",\"writes\":[";
    for (size_t i = 0; i < r.reply.writes.size(); ++i) {
        const PayloadWrite& w = r.reply.writes[i];
        if (i) j += ",";
        j += std::string("{\"offset\":") + std::to_string(w.offset) +
             ",\"size\":" + std::to_string(w.bytes.size()) + ",\"bytes\":\"" + hexText(w.bytes.data(), w.bytes.size()) + "\"}";
    }
    j += "]}\n";
    writeLog(options_.json, j);
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
