// Recording in the field: what kavlink.dll and the command frame share.
//
// kavlink.dll records while the environment variable KAVLINK_RECORD, or the
// per-user registry value RecordFolder under HKCU\Software\Kavlink, names a
// folder (a KAVLINK_RECORD that is set but empty switches it off).  It writes
// one run file per InitVBCmdLib (and one for requests made before any) and,
// for as long as that file is open, keeps its state in a small shared record
// named "Local\kavlink-record-<process id>".  The frame of a command
// component maps that record to put its event lines into the same file:
//
//   - it takes each event's seq from `seq` (InterlockedIncrement), so that
//     events and requests form one sequence;
//   - it hands each whole line to the library's `append`, holding `lock`;
//     the library places it in the run file as it places its own lines, so
//     the file has one writer and is never opened again by name (`path` is
//     for debug lines only);
//   - it writes nothing while `run` is 0 or `stopped` is set, nor when the
//     run it began the event in has ended; `append` refusing a line (the
//     file is full or cannot be written) has already been said on the debug
//     output by the library.
//
// Version 1 (kit 1.1.0) had no `append`: its frame opened `path` for every
// line.  Version 2 (never shipped in a kit) handed the frame the file's
// handle.  A frame takes only the version it knows, so a 1.1.0 frame records
// no events into a version 3 library's files (its requests are recorded as
// before), and this frame none into an older library's.
//
// Nothing here allocates; the library uses it without the C++ runtime.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kav::field {

inline constexpr wchar_t kSwitchVariable[] = L"KAVLINK_RECORD";
inline constexpr wchar_t kSwitchKey[] = L"Software\\Kavlink";
inline constexpr wchar_t kSwitchValue[] = L"RecordFolder";

// A run file stops growing before it would pass this size.
inline constexpr uint32_t kRunFileLimit = 64u << 20;
// Lines stop here, leaving room for the closing line.
inline constexpr uint32_t kLineLimit = kRunFileLimit - 64;
// The longest folder value, in characters: the run file's name must still
// fit in MAX_PATH after it.
inline constexpr uint32_t kFolderChars = 200;
inline constexpr uint32_t kPathChars = MAX_PATH;

inline constexpr uint32_t kShareMagic = 0x4B52454Bu;  // "KERK"
inline constexpr uint32_t kShareVersion = 3;

enum : LONG {
    kRecording = 0,
    kStoppedRun = 1,      // this run file is full; the next InitVBCmdLib begins a new one
    kStoppedProcess = 2,  // a write failed: nothing more is recorded in this process
};

// Places `size` bytes (whole lines) at the end of the open run file; called
// holding the lock.  FALSE when the line was left out.
using AppendLine = BOOL(WINAPI*)(const char* line, uint32_t size);

struct RunShare {
    uint32_t magic;
    uint32_t version;
    volatile LONG lock;     // 0 free, 1 held
    volatile LONG run;      // the open run file, counted from 1 in the process; 0: none
    volatile LONG seq;      // the last seq handed out in the open run
    volatile LONG stopped;  // kRecording, kStoppedRun or kStoppedProcess
    AppendLine append;      // the library's writer; null while no run file is open
    wchar_t path[kPathChars];
};

// "Local\kavlink-record-<pid>" into `name`.
inline void ShareName(wchar_t (&name)[48], DWORD pid) {
    static constexpr wchar_t kPrefix[] = L"Local\\kavlink-record-";
    uint32_t at = 0;
    for (const wchar_t* p = kPrefix; *p; ++p) name[at++] = *p;
    wchar_t digits[12];
    uint32_t n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + pid % 10);
        pid /= 10;
    } while (pid != 0);
    while (n > 0) name[at++] = digits[--n];
    name[at] = L'\0';
}

// Takes the lock, waiting at most `ms`; false when it could not.
inline bool Lock(RunShare& share, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::InterlockedCompareExchange(&share.lock, 1, 0) != 0) {
        if (::GetTickCount() - start >= ms) return false;
        ::SwitchToThread();
    }
    return true;
}
inline void Unlock(RunShare& share) { ::InterlockedExchange(&share.lock, 0); }

// How long either side waits for the lock; a lock held longer stops the recording.
inline constexpr DWORD kLockWait = 2000;  // ms

// Holds the lock for a scope; false when there is no record or the lock
// could not be had within `ms`.
class Held {
public:
    explicit Held(RunShare* share, DWORD ms = kLockWait)
        : share_(share != nullptr && Lock(*share, ms) ? share : nullptr) {}
    ~Held() {
        if (share_) Unlock(*share_);
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    explicit operator bool() const { return share_ != nullptr; }

private:
    RunShare* share_;
};

}  // namespace kav::field
