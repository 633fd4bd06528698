// The frame's event recording as kit 1.1.0 shipped it (commit 52fb197), kept
// to test what a command built with that kit gets from this library.  Only
// the namespaces are renamed, so that it links beside the current frame.
#include "event_recording.h"

#include "field_record_1_1_0.h"
#include "kav/handles.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <string>

namespace kavcmd_1_1_0 {
namespace {

using kav::field_1_1_0::RunShare;


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
RunShare* Share(bool afterInit) {
    static RunShare* share = nullptr;
    static bool absent = false;
    if (share != nullptr || absent) return share;
    wchar_t name[48];
    kav::field_1_1_0::ShareName(name, ::GetCurrentProcessId());
    const kav::UniqueMappingHandle mapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name));
    if (!mapping) {
        absent = afterInit;
        return nullptr;
    }
    auto* view = static_cast<RunShare*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(RunShare)));
    if (view == nullptr) return nullptr;
    if (view->magic != kav::field_1_1_0::kShareMagic || view->version != kav::field_1_1_0::kShareVersion) {
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

std::string EventLine(uint32_t seq, const char* method, std::initializer_list<RecordedArgument> args, bool nested,
                      HRESULT hr, const LONG* nCodeIn, const LONG* nCodeOut) {
    nlohmann::ordered_json o;
    o["seq"] = seq;
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
    if (nCodeIn != nullptr) {
        o["nCode"] = *nCodeIn;
        o["nCodeOut"] = nCodeOut != nullptr ? *nCodeOut : *nCodeIn;
    }
    if (nested) o["inDialog"] = true;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    o["hr"] = code;
    return o.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// Appends a whole line to the run file at `path`: a file that is there
// already, opened for appending only, never through a link.
DWORD Append(const wchar_t* path, const std::string& line) {
    const kav::UniqueFileHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return ::GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return ::GetLastError();
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return ERROR_BAD_FILE_TYPE;
    DWORD written = 0;
    if (!::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return ::GetLastError();
    return written == line.size() ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

}  // namespace

EventRecording::EventRecording(const char* method) noexcept : method_(method), nested_(t_depth > 0) {
    ++t_depth;
    // The start event is recorded after its InitVBCmdLib.
    RunShare* share = Share(std::strcmp(method, "VokProcStartCmd") == 0);
    if (share == nullptr) return;
    const kav::field_1_1_0::Held lock(share);
    if (!lock || share->run == 0 || share->stopped != kav::field_1_1_0::kRecording) return;
    run_ = share->run;
    seq_ = static_cast<uint32_t>(::InterlockedIncrement(&share->seq));
}

EventRecording::~EventRecording() { --t_depth; }

void EventRecording::Finish(HRESULT hr, std::initializer_list<RecordedArgument> args, const LONG* nCodeIn,
                            const LONG* nCodeOut) noexcept {
    const long run = run_;
    if (run == 0) return;
    run_ = 0;
    try {
        const std::string line = EventLine(seq_, method_, args, nested_, hr, nCodeIn, nCodeOut);
        RunShare& share = *Share(false);  // found when the event began
        const kav::field_1_1_0::Held lock(&share);
        if (!lock) {
            DebugLine("left out an event: the shared record stayed locked");
            return;
        }
        if (share.run != run || share.stopped != kav::field_1_1_0::kRecording) return;  // the run has ended meanwhile
        if (static_cast<uint64_t>(share.bytes) + line.size() > kav::field_1_1_0::kRunFileLimit) {
            share.stopped = kav::field_1_1_0::kStoppedRun;
            DebugLine("stopped: the run file reached its size limit: ", share.path);
            return;
        }
        if (const DWORD error = Append(share.path, line); error != ERROR_SUCCESS) {
            share.stopped = kav::field_1_1_0::kStoppedProcess;
            DebugLine("stopped: cannot write ", share.path, error);
            return;
        }
        share.bytes = share.bytes + static_cast<LONG>(line.size());
    } catch (...) {
        DebugLine("left out an event: no memory for its line");
    }
}

}  // namespace kavcmd_1_1_0
