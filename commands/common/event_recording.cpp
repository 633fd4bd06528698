#include "event_recording.h"

#include "kav/field_record.h"
#include "kav/handles.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <string>

namespace kavcmd {
namespace {

using kav::field::RunShare;


// Events of this thread that are running, recorded or not.
thread_local int t_depth = 0;

void DebugLine(const char* what, const wchar_t* detail = L"", DWORD error = 0) {
    wchar_t line[400];
    std::swprintf(line, 400, L"kavcmd: recording %hs%ls", what, detail);
    if (error != 0) {
        const size_t n = std::wcslen(line);
        std::swprintf(line + n, 400 - n, L" (error %lu)", error);
    }
    std::wcsncat(line, L"\n", 400 - std::wcslen(line) - 1);
    ::OutputDebugStringW(line);
}

// The shared record that kavlink.dll keeps while it records this process;
// null while there is none.  Once found it stays mapped.  kavlink.dll reads
// its switch at its first InitVBCmdLib, so a record missing after a start
// event's InitVBCmdLib (`afterInit`) stays missing: later events do not ask
// the system again (they come at the pointer's pace).
RunShare* g_share = nullptr;
bool g_absent = false;
RunShare* Share(bool afterInit) {
    RunShare*& share = g_share;
    bool& absent = g_absent;
    if (share != nullptr || absent) return share;
    wchar_t name[48];
    kav::field::ShareName(name, ::GetCurrentProcessId());
    const kav::UniqueMappingHandle mapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name));
    if (!mapping) {
        absent = afterInit;
        return nullptr;
    }
    auto* view = static_cast<RunShare*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(RunShare)));
    if (view == nullptr) return nullptr;
    if (view->magic != kav::field::kShareMagic || view->version != kav::field::kShareVersion) {
        ::UnmapViewOfFile(view);
        return nullptr;
    }
    share = view;  // the view keeps the record alive; the handle may go
    return share;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The event's line as it arrives, without its seq: `"event":...}` (the
// caller puts "{"seq":N," before it).
std::string ArrivalFields(const char* method, std::initializer_list<RecordedArgument> args, bool nested,
                          const LONG* nCodeIn) {
    nlohmann::ordered_json o;
    o["event"] = method;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RecordedArgument& a : args) {
        switch (a.kind) {
        case RecordedArgument::Kind::Null: list.push_back(nullptr); break;
        case RecordedArgument::Kind::Integer: list.push_back(a.integer); break;
        case RecordedArgument::Kind::Real: list.push_back(a.real); break;
        case RecordedArgument::Kind::Text: list.push_back(Utf8(a.text)); break;
        }
    }
    o["args"] = std::move(list);
    if (nCodeIn != nullptr) o["nCode"] = *nCodeIn;
    if (nested) o["inDialog"] = true;
    return o.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).substr(1);
}

// The result's fields: `"hr":"0x...","nCodeOut":N}`.
std::string ResultFields(HRESULT hr, bool hasCode, LONG nCodeOut) {
    char text[64];
    std::snprintf(text, sizeof text, "\"hr\":\"0x%08lX\"", static_cast<unsigned long>(hr));
    std::string fields = text;
    if (hasCode) fields += ",\"nCodeOut\":" + std::to_string(nCodeOut);
    return fields + "}\n";
}

std::string SeqPrefix(uint32_t seq) { return "{\"seq\":" + std::to_string(seq) + ","; }

// Hands a whole line to the library for the open run file, holding the
// lock; false when the line was left out (the run ended, the file is full or
// cannot be written: the library has said which on the debug output).
// `run` 0: the line belongs to the run open now and takes its seq (both
// returned in `run` and `seq`).
bool Write(RunShare& share, long& run, uint32_t& seq, const std::string& body) {
    const kav::field::Held lock(&share);
    if (!lock) {
        DebugLine("left out an event: the shared record stayed locked");
        return false;
    }
    const kav::field::AppendLine append = share.append;
    if (share.run == 0 || share.stopped != kav::field::kRecording || append == nullptr) return false;
    if (run == 0) {
        run = share.run;
        seq = static_cast<uint32_t>(::InterlockedIncrement(&share.seq));
    }
    if (share.run != run) return false;  // the run has ended meanwhile
    const std::string line = SeqPrefix(seq) + body;
    return append(line.data(), static_cast<uint32_t>(line.size())) != FALSE;
}

}  // namespace

EventRecording::EventRecording(const char* method, std::initializer_list<RecordedArgument> args,
                               const LONG* nCodeIn) noexcept
    : nested_(t_depth > 0), hasCode_(nCodeIn != nullptr), codeIn_(nCodeIn ? *nCodeIn : 0) {
    ++t_depth;
    // The start event is recorded after its InitVBCmdLib.
    RunShare* share = Share(std::strcmp(method, "VokProcStartCmd") == 0);
    if (share == nullptr && g_absent) return;
    try {
        std::string fields = ArrivalFields(method, args, nested_, nCodeIn);
        if (share == nullptr || (share->run == 0 && share->stopped == kav::field::kRecording)) {
            // No run file yet: the requests this event makes may begin one.
            late_ = std::move(fields);
            return;
        }
        long run = 0;
        uint32_t seq = 0;
        if (!Write(*share, run, seq, fields + "\n")) return;
        run_ = run;
        seq_ = seq;
    } catch (...) {
        DebugLine("left out an event: no memory for its line");
    }
}

EventRecording::~EventRecording() { --t_depth; }

void EventRecording::Finish(HRESULT hr, const LONG* nCodeOut) noexcept {
    const bool late = !late_.empty();
    if (run_ == 0 && !late) return;
    try {
        RunShare* share = Share(false);
        const LONG codeOut = nCodeOut != nullptr ? *nCodeOut : codeIn_;
        if (late) {
            // One line, numbered now: the arrival's fields, "late" and the result.
            std::string body = late_;
            late_.clear();
            body.back() = ',';
            long run = 0;
            uint32_t seq = 0;
            if (share != nullptr) Write(*share, run, seq, body + "\"late\":true," + ResultFields(hr, hasCode_, codeOut));
            return;
        }
        Write(*share, run_, seq_, ResultFields(hr, hasCode_, codeOut));
        run_ = 0;
    } catch (...) {
        DebugLine("left out an event's result: no memory for its line");
    }
}

}  // namespace kavcmd
