#include "recorder.h"

#include "kav/field_record.h"
#include "kav/handles.h"
#include "guarded.h"
#include "shared_block.h"
#include "switch.h"
#include "text.h"

namespace kav::record {

volatile LONG g_state = kUnread;

namespace {

using field::RunShare;

// A line's bytes besides its hex; the longest line is a request or an answer
// carrying the whole payload area.
constexpr uint32_t kLineOverhead = 128;
constexpr uint32_t kLineSize = kLineOverhead + 2 * kPayloadSize;
constexpr uint32_t kNameAttempts = 8;  // names tried per run file
// The file grows ahead of its lines in zeros: 64 KB, doubling up to 1 MB,
// then a megabyte at a time, never past its limit.
constexpr uint32_t kFirstSize = 64u << 10;
constexpr uint32_t kLargestStep = 1u << 20;
constexpr uint32_t kZeroChunk = 64u << 10;

bool slash(wchar_t c) { return c == L'\\' || c == L'/'; }

// ---------------------------------------------------------------- state

struct Recorder {
    wchar_t folder[field::kFolderChars + 2];
    UniqueMappingHandle mapping;
    UniqueView view;         // the shared record
    RunShare* share;         // the view, typed; null when none
    UniqueFileHandle file;   // the open run file
    // While the run goes on, its lines are placed in mapped pages of the
    // file: they reach the file even when the process dies without a word.
    // Once the exit message is answered the file is cut to its lines and
    // what still comes is written through.
    UniqueMappingHandle fileMapping;
    UniqueView fileView;
    uint32_t capacity;       // bytes of the file that `fileView` maps
    uint32_t bytes;          // bytes of lines in the open run file
    LONG generation;         // share->run of `file`: counts the run files of this library
    int32_t inits;           // InitVBCmdLib calls seen while recording
    bool beforeInitTried;    // the file for requests before InitVBCmdLib was begun
    uint32_t answered;       // the seq of the last message answered in the open run
    wchar_t path[field::kPathChars];
    char line[kLineSize];    // the line being made
    char zeros[kZeroChunk];  // what the file grows by
};
Recorder g;

BOOL WINAPI appendLine(const char* line, uint32_t size);

// The shared record of this process; false when another party holds one
// under its name.
bool openShare() {
    wchar_t name[48];
    field::ShareName(name, ::GetCurrentProcessId());
    UniqueMappingHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RunShare), name));
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    UniqueView view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(RunShare)) : nullptr);
    auto* share = static_cast<RunShare*>(view.get());
    // One left by an earlier kavlink.dll of this process (still mapped by a
    // frame) is taken over once its run has ended.
    if (share == nullptr ||
        (existed && (share->magic != field::kShareMagic || share->version != field::kShareVersion || share->run != 0))) {
        say(L"is off: the shared record is taken: ", name);
        return false;
    }
    share->magic = field::kShareMagic;
    share->version = field::kShareVersion;
    share->lock = 0;
    share->run = 0;
    share->seq = 0;
    share->stopped = field::kRecording;
    share->append = nullptr;
    share->path[0] = 0;
    g.mapping = std::move(mapping);
    g.view = std::move(view);
    g.share = share;
    return true;
}

// True while recording is on; the first call reads the switch.
bool ready() {
    if (g_state == kUnread && ::InterlockedCompareExchange(&g_state, kReading, kUnread) == kUnread)
        ::InterlockedExchange(&g_state, readSwitch(g.folder) && openShare() ? kOn : kOff);
    return g_state == kOn;
}

// ---------------------------------------------------------------- lines

// Makes a line in g.line, which holds the longest one.
class Line {
public:
    Line() : at_(g.line) {}
    [[gnu::noinline]] Line& put(const char* s) {
        while (*s) *at_++ = *s++;
        return *this;
    }
    [[gnu::noinline]] Line& number(uint32_t v) {
        char digits[10];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0) *at_++ = digits[--n];
        return *this;
    }
    [[gnu::noinline]] Line& digits(uint32_t v, int width) {
        for (int i = width - 1; i >= 0; --i, v /= 10) at_[i] = static_cast<char>('0' + v % 10);
        at_ += width;
        return *this;
    }
    [[gnu::noinline]] Line& hex(const uint8_t* bytes, uint32_t n) {
        static const char kDigits[] = "0123456789ABCDEF";
        for (uint32_t i = 0; i < n; ++i) {
            *at_++ = kDigits[bytes[i] >> 4];
            *at_++ = kDigits[bytes[i] & 15];
        }
        return *this;
    }
    const char* text() const { return g.line; }
    uint32_t length() const { return static_cast<uint32_t>(at_ - g.line); }

private:
    char* at_;
};

void unmapFile() {
    g.fileView.reset();
    g.fileMapping.reset();
    g.capacity = 0;
}

void closeFile() {
    unmapFile();
    g.file.reset();
    g.bytes = 0;
    g.answered = 0;
    g.share->run = 0;
    g.share->append = nullptr;
    g.share->path[0] = 0;
}

// A write failed or the frame saw one: nothing more is recorded in this process.
void stopProcess(const wchar_t* what, DWORD error) {
    closeFile();
    g.share->stopped = field::kStoppedProcess;
    ::InterlockedExchange(&g_state, kOff);
    if (what) say(what, g.path, error);
}

// A short write is a full disk: the caller takes a last error of 0 so.
bool writeThrough(const void* bytes, uint32_t size) {
    DWORD written = 0;
    ::SetLastError(ERROR_SUCCESS);
    return ::WriteFile(g.file.get(), bytes, size, &written, nullptr) && written == size;
}

// Maps at least `need` bytes of the file, growing it in zeros first (written,
// so that a full disk shows here and not as a page that cannot be stored).
bool grow(uint32_t need) {
    uint32_t size = g.capacity == 0 ? kFirstSize : g.capacity;
    while (size < need) size += size < kLargestStep ? size : kLargestStep;
    if (size > field::kRunFileLimit) size = field::kRunFileLimit;
    if (size < need) return false;  // kLineLimit keeps lines below this
    LARGE_INTEGER end;
    end.QuadPart = g.capacity;
    if (!::SetFilePointerEx(g.file.get(), end, nullptr, FILE_BEGIN)) return false;
    for (uint32_t at = g.capacity; at < size; at += kZeroChunk) {
        const uint32_t n = size - at < kZeroChunk ? size - at : kZeroChunk;
        if (!writeThrough(g.zeros, n)) return false;
    }
    UniqueMappingHandle mapping(::CreateFileMappingW(g.file.get(), nullptr, PAGE_READWRITE, 0, size, nullptr));
    UniqueView view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, size) : nullptr);
    if (!view) return false;
    g.fileView = std::move(view);
    g.fileMapping = std::move(mapping);
    g.capacity = size;
    return true;
}

// Places `size` bytes at the end of the lines; false after stopping the
// process's recording.
bool place(const void* bytes, uint32_t size) {
    DWORD error = ERROR_SUCCESS;
    if (!g.fileView) {
        if (writeThrough(bytes, size)) return g.bytes += size, true;
        error = ::GetLastError();
    } else if (g.bytes + size > g.capacity && !grow(g.bytes + size)) {
        error = ::GetLastError();
    } else if (!guardedCopy(static_cast<char*>(g.fileView.get()) + g.bytes, bytes, size)) {
        error = ERROR_WRITE_FAULT;  // a page of the file could not be stored
    } else {
        return g.bytes += size, true;
    }
    stopProcess(L"stopped: cannot write ", error != ERROR_SUCCESS ? error : ERROR_DISK_FULL);
    return false;
}

// The file is cut to its lines; what follows is written through.
void unmapAndTrim() {
    if (!g.fileView) return;
    unmapFile();
    LARGE_INTEGER end;
    end.QuadPart = g.bytes;
    if (!::SetFilePointerEx(g.file.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(g.file.get()))
        stopProcess(L"stopped: cannot cut to its lines: ", ::GetLastError());
}

// The run file ends with its closing line (`why`) and is cut to its lines.
void closeRun(const char* why) {
    if (!g.file) return;
    Line line;
    line.put("{\"closed\":\"").put(why).put("\"}\n");
    if (!place(line.text(), line.length())) return;
    unmapAndTrim();
    if (g.file) closeFile();
}

// True when the open run file takes lines: a stop that the frame set is
// carried out here.
bool open() {
    if (!g.file) return false;
    if (g.share->run != g.generation || g.share->stopped == field::kStoppedRun) {
        closeRun("size limit");
        return false;
    }
    if (g.share->stopped == field::kStoppedProcess) {
        stopProcess(nullptr, 0);
        return false;
    }
    return true;
}

// Places a line in the open run file; a line that would take the file past
// its limit is left out and ends the run.
bool store(const char* text, uint32_t size) {
    if (size > field::kLineLimit - g.bytes) {
        closeRun("size limit");
        say(L"stopped: the run file reached its size limit: ", g.path);
        return false;
    }
    return place(text, size);
}
bool store(const Line& line) { return store(line.text(), line.length()); }

BOOL WINAPI appendLine(const char* line, uint32_t size) {
    return line != nullptr && g_state == kOn && open() && store(line, size);
}

// Creates the next run file and writes its first line.  `init` is the
// number of InitVBCmdLib calls so far, 0 for the requests before any.
void openRun(int32_t init, int32_t cmdLine) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const DWORD pid = ::GetCurrentProcessId();
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (uint32_t attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        WideText path(g.path);
        path.put(g.folder);
        if (!slash(g.folder[::lstrlenW(g.folder) - 1])) path.put(L'\\');
        path.put(L"kavlink-").number(now.wYear, 4).number(now.wMonth, 2).number(now.wDay, 2).put(L'-');
        path.number(now.wHour, 2).number(now.wMinute, 2).number(now.wSecond, 2).put(L'-').number(pid);
        path.put(L'-').number(static_cast<uint32_t>(init));
        if (attempt > 0) path.put(L'-').number(attempt);
        path.put(L".jsonl");
        if (path.full()) break;
        // A new file only: never one that is there, and never through a link.
        file = ::CreateFileW(g.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (file != INVALID_HANDLE_VALUE &&
        (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        ::CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        error = ERROR_BAD_FILE_TYPE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        stopProcess(nullptr, 0);
        say(L"stopped: cannot create a run file in ", g.folder, error);
        return;
    }
    g.file.reset(file);
    g.bytes = 0;
    g.answered = 0;
    if (!grow(kFirstSize)) {
        const DWORD failed = ::GetLastError();
        stopProcess(L"stopped: cannot write ", failed != ERROR_SUCCESS ? failed : ERROR_DISK_FULL);
        return;
    }
    g.share->run = ++g.generation;
    g.share->seq = 0;
    g.share->stopped = field::kRecording;
    g.share->append = appendLine;
    ::lstrcpynW(g.share->path, g.path, field::kPathChars);
    Line line;
    line.put("{\"session\":\"kavlink\",\"version\":3,\"pid\":").number(pid).put(",\"run\":").number(static_cast<uint32_t>(init));
    line.put(",\"time\":\"").digits(now.wYear, 4).put("-").digits(now.wMonth, 2).put("-").digits(now.wDay, 2);
    line.put(" ").digits(now.wHour, 2).put(":").digits(now.wMinute, 2).put(":").digits(now.wSecond, 2).put("\"");
    if (init == 0) {
        line.put(",\"beforeInit\":true}\n");
    } else {
        line.put(",\"cmdline\":");
        if (cmdLine < 0) line.put("-");
        line.number(cmdLine < 0 ? 0u - static_cast<uint32_t>(cmdLine) : static_cast<uint32_t>(cmdLine)).put("}\n");
    }
    store(line);  // the first line of the file, before any of the frame's
}

// The shared record stayed locked past the wait: nothing more is recorded in
// this process, and the frame learns it from the record.
void stayedLocked() {
    ::InterlockedExchange(&g.share->stopped, field::kStoppedProcess);
    ::InterlockedExchange(&g_state, kOff);
    say(L"stopped: the shared record stayed locked");
}

}  // namespace

// ---------------------------------------------------------------- interface

void beginRun(int32_t cmdLine) {
    if (!ready()) return;
    const field::Held lock(g.share);
    if (!lock) return stayedLocked();
    if (open()) closeRun("next run");
    if (g_state != kOn) return;
    openRun(++g.inits, cmdLine);
}

Mark request(uint32_t message, uint32_t code, uint32_t lParam, const uint8_t* payload, uint32_t sent) {
    if (!ready()) return {0, 0, false};
    const field::Held lock(g.share);
    if (!lock) {
        stayedLocked();
        return {0, 0, false};
    }
    // Requests before any InitVBCmdLib have a run file of their own.
    if (!g.file && g.inits == 0 && !g.beforeInitTried) {
        g.beforeInitTried = true;
        openRun(0, 0);
    }
    if (!open()) return {0, 0, false};
    const uint32_t seq = static_cast<uint32_t>(::InterlockedIncrement(&g.share->seq));
    Line line;
    line.put("{\"seq\":").number(seq).put(",\"message\":").number(message);
    if (message == kRequestMessage) {
        line.put(",\"code\":").number(code).put(",\"lParam\":").number(lParam);
        line.put(",\"request\":\"").hex(payload, sent).put("\"");
    }
    line.put("}\n");
    if (!store(line)) return {0, 0, false};
    return {g.generation, seq, message == kExitCommandMessage};
}

void answer(Mark mark, uint32_t answer, const uint8_t* payload, uint32_t back) {
    if (mark.seq == 0 || g_state != kOn) return;
    const field::Held lock(g.share);
    if (!lock || !open() || g.generation != mark.run) return;
    Line line;
    line.put("{\"seq\":").number(mark.seq).put(",\"answer\":").number(answer);
    if (back != 0) line.put(",\"back\":\"").hex(payload, back).put("\"");
    line.put("}\n");
    if (!store(line)) return;
    g.answered = mark.seq;
    // The command has ended: the file is cut to its lines now, while the
    // process surely runs, and not at unload.
    if (mark.exit) unmapAndTrim();
}

void readBack(const uint8_t* payload, uint32_t size) {
    if (g_state != kOn || size == 0) return;
    const field::Held lock(g.share);
    if (!lock || !open() || g.answered == 0) return;
    Line line;
    line.put("{\"seq\":").number(g.answered).put(",\"back\":\"").hex(payload, size).put("\"}\n");
    store(line);
}

void end() {
    if (g.share == nullptr) return;  // never recorded, or already ended
    // Under the loader lock: nothing is written and no lock waited for.  A
    // file whose exit message was never answered keeps its zeros past the
    // lines, which end it for the reader.  The record stays valid for a frame
    // that still maps it: run 0, no writer.
    g.share->run = 0;
    g.share->append = nullptr;
    unmapFile();
    g.file.reset();
    g.view.reset();
    g.mapping.reset();
    g.share = nullptr;
    ::InterlockedExchange(&g_state, kOff);
}

}  // namespace kav::record
