#include "recorder.h"

#include "kav/field_record.h"
#include "shared_block.h"

namespace kav::record {

volatile LONG g_state = kUnread;
volatile uint32_t g_readBack = 0;

namespace {

using field::RunShare;

constexpr uint32_t kBufferSize = 64 * 1024;
constexpr uint32_t kNameAttempts = 8;       // names tried per run file
constexpr uint32_t kLineOverhead = 128;     // a line's bytes besides its hex

// ---------------------------------------------------------------- wide text

// A bounded wide text; what does not fit is left out.
class WideText {
public:
    template <size_t N>
    explicit WideText(wchar_t (&into)[N]) : begin_(into), at_(into), end_(into + N - 1) { *at_ = 0; }
    [[gnu::noinline]] WideText& put(const wchar_t* s) {
        while (s && *s && at_ < end_) *at_++ = *s++;
        *at_ = 0;
        return *this;
    }
    [[gnu::noinline]] WideText& put(wchar_t c) {
        if (at_ < end_) *at_++ = c;
        *at_ = 0;
        return *this;
    }
    [[gnu::noinline]] WideText& number(uint32_t v, uint32_t width = 1) {
        wchar_t digits[12];
        uint32_t n = 0;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
            v /= 10;
        } while (v != 0 || n < width);
        while (n > 0) put(digits[--n]);
        return *this;
    }
    bool full() const { return at_ == end_; }
    const wchar_t* text() const { return begin_; }

private:
    wchar_t* begin_;
    wchar_t* at_;
    wchar_t* end_;
};

// One line on the debug output: "kavlink: recording <what><detail> (error N)".
void say(const wchar_t* what, const wchar_t* detail = nullptr, DWORD error = 0) {
    wchar_t buffer[600];
    WideText line(buffer);
    line.put(L"kavlink: recording ").put(what).put(detail);
    if (error != 0) line.put(L" (error ").number(error).put(L')');
    line.put(L'\n');
    ::OutputDebugStringW(line.text());
}

// ---------------------------------------------------------------- the folder

wchar_t upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
bool slash(wchar_t c) { return c == L'\\' || c == L'/'; }

// A path component that Windows takes as a device: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0-9, LPT0-9, also with an extension or trailing spaces.
bool deviceComponent(const wchar_t* s, uint32_t n) {
    uint32_t base = 0;
    while (base < n && s[base] != L'.') ++base;
    while (base > 0 && s[base - 1] == L' ') --base;
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kNames) {
        uint32_t i = 0;
        while (i < base && name[i] && upper(s[i]) == name[i]) ++i;
        if (i == base && name[i] == 0) return true;
    }
    if (base != 4) return false;
    const bool com = upper(s[0]) == L'C' && upper(s[1]) == L'O' && upper(s[2]) == L'M';
    const bool lpt = upper(s[0]) == L'L' && upper(s[1]) == L'P' && upper(s[2]) == L'T';
    return (com || lpt) && s[3] >= L'0' && s[3] <= L'9';
}

// Drops the slashes at the end of a path of `n` characters, but not the one
// of a drive's root; the new length.
uint32_t trimmed(const wchar_t* path, uint32_t n) {
    while (n > 3 && slash(path[n - 1])) --n;
    return n;
}

// The rest of a UNC path after \\server\share (it begins with a slash, or is
// empty); null when `p` names no share.
const wchar_t* belowShare(const wchar_t* p) {
    if (!slash(p[0]) || !slash(p[1])) return nullptr;
    p += 2;
    for (int part = 0; part < 2; ++part) {
        if (*p == 0 || slash(*p)) return nullptr;
        while (*p && !slash(*p)) ++p;
        if (part == 0) {
            if (*p == 0) return nullptr;
            ++p;
        }
    }
    return p;
}

// True when the system reaches `folder` where it names it: no link on the
// way leads elsewhere.  (A mount point is no link; short 8.3 names and a
// drive letter mapped to a network share name the same folder.)
bool reachedDirectly(const wchar_t* folder) {
    wchar_t full[field::kPathChars], reached[field::kPathChars + 8];
    DWORD n = ::GetFullPathNameW(folder, field::kPathChars, full, nullptr);
    if (n == 0 || n >= field::kPathChars) return false;
    n = ::GetLongPathNameW(full, full, field::kPathChars);
    if (n == 0 || n >= field::kPathChars) return false;
    HANDLE handle = ::CreateFileW(full, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD m = ::GetFinalPathNameByHandleW(handle, reached, field::kPathChars + 8, VOLUME_NAME_DOS);
    ::CloseHandle(handle);
    if (m == 0 || m >= field::kPathChars + 8) return false;
    // \\?\C:\x names C:\x; \\?\UNC\server\share names \\server\share.
    const wchar_t* r = reached;
    if (m >= 8 && ::CompareStringOrdinal(r, 8, L"\\\\?\\UNC\\", 8, TRUE) == CSTR_EQUAL) {
        r += 6;
        reached[6] = L'\\';
        m -= 6;
    } else if (m >= 4 && ::CompareStringOrdinal(r, 4, L"\\\\?\\", 4, TRUE) == CSTR_EQUAL) {
        r += 4;
        m -= 4;
    }
    const wchar_t* named = full;
    uint32_t a = trimmed(full, n), b = trimmed(r, m);
    // A network drive (Z:\x) is reached as its share (\\server\share\x): compare what lies below the two roots.
    if (const wchar_t* below = belowShare(r); below && full[1] == L':') {
        const wchar_t root[] = {full[0], L':', L'\\', 0};
        if (::GetDriveTypeW(root) == DRIVE_REMOTE) {
            named = full + 2;
            a = a == 3 ? 0 : a - 2;  // the drive's root is the share's
            b -= static_cast<uint32_t>(below - r);
            r = below;
        }
    }
    return ::CompareStringOrdinal(named, static_cast<int>(a), r, static_cast<int>(b), TRUE) == CSTR_EQUAL;
}

// ---------------------------------------------------------------- state

struct Recorder {
    wchar_t folder[field::kFolderChars + 2];
    const wchar_t* source;  // where the folder was named, for the debug output
    HANDLE mapping;
    RunShare* share;
    HANDLE file;            // the open run file; null when none
    LONG generation;        // share->run of `file`: counts the run files of this library
    int32_t inits;          // InitVBCmdLib calls seen while recording
    bool beforeInitTried;   // the file for requests before InitVBCmdLib was begun
    wchar_t path[field::kPathChars];
    uint32_t used;
    char buffer[kBufferSize];
};
Recorder g;

// ---------------------------------------------------------------- the switch

bool readSwitch() {
    constexpr DWORD kChars = field::kFolderChars + 1;  // one more, to tell a value that is too long
    g.source = L"KAVLINK_RECORD";
    DWORD n = ::GetEnvironmentVariableW(field::kSwitchVariable, g.folder, kChars);
    if (n >= kChars) {
        say(L"is off: the value of KAVLINK_RECORD is too long");
        return false;
    }
    if (n == 0) {
        g.source = L"RecordFolder";
        DWORD bytes = kChars * sizeof(wchar_t);
        // REG_SZ, or REG_EXPAND_SZ with its variables expanded.
        const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, field::kSwitchKey, field::kSwitchValue, RRF_RT_REG_SZ,
                                              nullptr, g.folder, &bytes);
        if (status == ERROR_FILE_NOT_FOUND) return false;  // not there: recording is simply off
        if (status == ERROR_MORE_DATA) {
            say(L"is off: the value of RecordFolder is too long");
            return false;
        }
        if (status != ERROR_SUCCESS) {
            say(L"is off: cannot read RecordFolder", nullptr, static_cast<DWORD>(status));
            return false;
        }
    }
    if (g.folder[0] == 0) return false;
    if (const wchar_t* why = folderProblem(g.folder)) {
        wchar_t buffer[300];
        WideText detail(buffer);
        detail.put(g.source).put(L' ').put(why).put(L": ").put(g.folder);
        say(L"is off: ", detail.text());
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(g.folder);
    const wchar_t* why = attributes == INVALID_FILE_ATTRIBUTES       ? L"the folder does not exist: "
                         : !(attributes & FILE_ATTRIBUTE_DIRECTORY)   ? L"not a folder: "
                         : !reachedDirectly(g.folder)                 ? L"the folder is reached through a link: "
                                                                      : nullptr;
    if (why) {
        wchar_t buffer[300];
        WideText detail(buffer);
        detail.put(why).put(g.folder);
        say(L"is off: ", detail.text());
        return false;
    }
    return true;
}

// The shared record of this process; false when another party holds one
// under its name.
bool openShare() {
    wchar_t name[48];
    field::ShareName(name, ::GetCurrentProcessId());
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RunShare), name);
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    void* view = mapping ? ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(RunShare)) : nullptr;
    auto* share = static_cast<RunShare*>(view);
    // One left by an earlier kavlink.dll of this process (still mapped by a
    // frame) is taken over once its run has ended.
    if (share == nullptr ||
        (existed && (share->magic != field::kShareMagic || share->version != field::kShareVersion || share->run != 0))) {
        if (view) ::UnmapViewOfFile(view);
        if (mapping) ::CloseHandle(mapping);
        say(L"is off: the shared record is taken: ", name);
        return false;
    }
    share->magic = field::kShareMagic;
    share->version = field::kShareVersion;
    share->lock = 0;
    share->run = 0;
    share->seq = 0;
    share->bytes = 0;
    share->stopped = field::kRecording;
    share->path[0] = 0;
    g.mapping = mapping;
    g.share = share;
    return true;
}

// True while recording is on; the first call reads the switch.
bool ready() {
    if (g_state == kUnread && ::InterlockedCompareExchange(&g_state, kReading, kUnread) == kUnread)
        ::InterlockedExchange(&g_state, readSwitch() && openShare() ? kOn : kOff);
    return g_state == kOn;
}

// ---------------------------------------------------------------- lines

// Writes a line into the buffer; the caller has reserved room for it.
class Line {
public:
    Line() : start_(g.buffer + g.used), at_(start_) {}
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
    uint32_t length() const { return static_cast<uint32_t>(at_ - start_); }

private:
    char* start_;
    char* at_;
};

void closeFile() {
    if (g.file) ::CloseHandle(g.file);
    g.file = nullptr;
    g.used = 0;
    g.share->run = 0;
    g.share->path[0] = 0;
}

// A write failed or the frame saw one: nothing more is recorded in this process.
void stopProcess(const wchar_t* what, DWORD error) {
    closeFile();
    g.share->stopped = field::kStoppedProcess;
    ::InterlockedExchange(&g_state, kOff);
    if (what) say(what, g.path, error);
}

bool flush() {
    if (g.used == 0) return true;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(g.file, g.buffer, g.used, &written, nullptr);
    const DWORD error = ok ? ERROR_DISK_FULL : ::GetLastError();  // a short write is a full disk
    if (ok && written == g.used) {
        g.used = 0;
        return true;
    }
    stopProcess(L"stopped: cannot write ", error);
    return false;
}

// The run file ends: what is buffered goes out, the file is closed.
void closeRun() {
    if (!g.file) return;
    if (flush()) closeFile();
}

// True when the open run file takes lines: a stop that the frame set is
// carried out here.
bool open() {
    if (!g.file) return false;
    if (g.share->run != g.generation || g.share->stopped == field::kStoppedRun) {
        closeRun();
        return false;
    }
    if (g.share->stopped == field::kStoppedProcess) {
        stopProcess(nullptr, 0);
        return false;
    }
    return true;
}

// Room for a line of at most `bytes`.
bool reserve(uint32_t bytes) { return g.used + bytes <= kBufferSize || flush(); }

// Counts a line that was written into the buffer; a line that would take
// the file past its limit is dropped and ends the run.
void commit(const Line& line) {
    const uint32_t n = line.length();
    if (static_cast<uint32_t>(g.share->bytes) + n > field::kRunFileLimit) {
        closeRun();
        say(L"stopped: the run file reached its size limit: ", g.path);
        return;
    }
    g.share->bytes = g.share->bytes + static_cast<LONG>(n);
    g.used += n;
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
        file = ::CreateFileW(g.path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
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
    g.file = file;
    g.share->run = ++g.generation;
    g.share->seq = 0;
    g.share->bytes = 0;
    g.share->stopped = field::kRecording;
    ::lstrcpynW(g.share->path, g.path, field::kPathChars);
    g.used = 0;
    Line line;
    line.put("{\"session\":\"kavlink\",\"version\":1,\"pid\":").number(pid).put(",\"run\":").number(static_cast<uint32_t>(init));
    line.put(",\"time\":\"").digits(now.wYear, 4).put("-").digits(now.wMonth, 2).put("-").digits(now.wDay, 2);
    line.put(" ").digits(now.wHour, 2).put(":").digits(now.wMinute, 2).put(":").digits(now.wSecond, 2).put("\"");
    if (init == 0) {
        line.put(",\"beforeInit\":true}\n");
    } else {
        line.put(",\"cmdline\":");
        if (cmdLine < 0) line.put("-");
        line.number(cmdLine < 0 ? 0u - static_cast<uint32_t>(cmdLine) : static_cast<uint32_t>(cmdLine)).put("}\n");
    }
    commit(line);
    flush();  // the first line of the file, before any of the frame's
}

// The shared record stayed locked past the wait: nothing more is recorded in
// this process, and the frame learns it from the record.  The open run file
// keeps what is buffered until the library unloads (end).
void stayedLocked() {
    ::InterlockedExchange(&g.share->stopped, field::kStoppedProcess);
    ::InterlockedExchange(&g_state, kOff);
    say(L"stopped: the shared record stayed locked");
}

}  // namespace

// ---------------------------------------------------------------- interface

const wchar_t* folderProblem(const wchar_t* value) {
    uint32_t n = 0;
    while (value[n] != 0) {
        if (++n > field::kFolderChars) return L"is too long";
    }
    // \\?\ and \\.\ reach devices and the object namespace directly.
    if (n >= 4 && slash(value[0]) && slash(value[1]) && (value[2] == L'?' || value[2] == L'.') && slash(value[3]))
        return L"names a device";
    for (uint32_t i = 0; i < n; ++i) {
        const wchar_t c = value[i];
        if (c < 32 || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
            return L"is not a folder name";
    }
    for (uint32_t i = 0; i < n;) {
        uint32_t j = i;
        while (j < n && !slash(value[j])) ++j;
        if (j > i && deviceComponent(value + i, j - i)) return L"names a device";
        i = j + 1;
    }
    const bool drive = n >= 3 && ((value[0] >= L'A' && value[0] <= L'Z') || (value[0] >= L'a' && value[0] <= L'z')) &&
                       value[1] == L':' && slash(value[2]);
    bool unc = n >= 5 && slash(value[0]) && slash(value[1]) && !slash(value[2]);
    if (unc) {  // \\server\share
        uint32_t i = 2;
        while (i < n && !slash(value[i])) ++i;
        unc = i + 1 < n && !slash(value[i + 1]);
    }
    if (!drive && !unc) return L"is relative";
    for (uint32_t i = drive ? 2 : 0; i < n; ++i)
        if (value[i] == L':') return L"is not a folder name";  // a stream, not a folder
    return nullptr;
}

uint32_t takeReadBack() { return ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&g_readBack), 0); }

void beginRun(int32_t cmdLine) {
    if (!ready()) return;
    const field::Held lock(g.share);
    if (!lock) return stayedLocked();
    open();
    closeRun();
    if (g_state != kOn) return;
    openRun(++g.inits, cmdLine);
}

Mark request(uint32_t message, uint32_t code, uint32_t lParam, const uint8_t* payload, uint32_t sent) {
    if (!ready()) return {0, 0};
    const field::Held lock(g.share);
    if (!lock) {
        stayedLocked();
        return {0, 0};
    }
    // Requests before any InitVBCmdLib have a run file of their own.
    if (!g.file && g.inits == 0 && !g.beforeInitTried) {
        g.beforeInitTried = true;
        openRun(0, 0);
    }
    if (!open() || !reserve(kLineOverhead + 2 * sent)) return {0, 0};
    const uint32_t seq = static_cast<uint32_t>(::InterlockedIncrement(&g.share->seq));
    Line line;
    line.put("{\"seq\":").number(seq).put(",\"message\":").number(message);
    if (message == kRequestMessage) {
        line.put(",\"code\":").number(code).put(",\"lParam\":").number(lParam);
        line.put(",\"request\":\"").hex(payload, sent).put("\"");
    }
    line.put("}\n");
    commit(line);
    return {g.generation, seq};
}

void answer(Mark mark, uint32_t answer, const uint8_t* payload, uint32_t back, bool ends) {
    if (mark.seq == 0 || g_state != kOn) return;
    const field::Held lock(g.share);
    if (!lock || !open() || g.generation != mark.run || !reserve(kLineOverhead + 2 * back)) return;
    Line line;
    line.put("{\"seq\":").number(mark.seq).put(",\"answer\":").number(answer);
    if (back != 0) line.put(",\"back\":\"").hex(payload, back).put("\"");
    line.put("}\n");
    commit(line);
    if (ends && g.file) flush();
}

void end() {
    if (g.share == nullptr) return;  // never recorded, or already ended
    // At process exit a thread that held the lock may be gone: no waiting then.
    // The buffered lines go out when the run is still this library's.
    if (const field::Held lock(g.share, 0); lock && g.file && g.share->run == g.generation) closeRun();
    if (g.file) ::CloseHandle(g.file);  // its last lines could not be written safely
    g.file = nullptr;
    ::UnmapViewOfFile(g.share);
    ::CloseHandle(g.mapping);
    g.share = nullptr;
    ::InterlockedExchange(&g_state, kOff);
}

}  // namespace kav::record
