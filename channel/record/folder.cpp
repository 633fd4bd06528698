// The recording switch and the checks of its folder.
#include "switch.h"

#include "kav/handles.h"
#include "recorder.h"
#include "text.h"

namespace kav::record {
namespace {

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

// A name that ends in a space or a dot: Windows drops those from the last
// component of a path but keeps them in the others, so the folder checked
// would not be the folder the run files go into.
bool looseEnd(const wchar_t* s, uint32_t n) {
    const bool dots = (n == 1 && s[0] == L'.') || (n == 2 && s[0] == L'.' && s[1] == L'.');
    return !dots && n > 0 && (s[n - 1] == L' ' || s[n - 1] == L'.');
}

// What the checking thread reports; it owns a reference to the library
// while it runs, so that an unload never waits for it nor pulls its code away.
struct Check {
    const wchar_t* folder;
    const wchar_t* why;  // the problem found, or nullptr
};
Check g_check;

DWORD WINAPI checkFolder(void* module) {
    const DWORD attributes = ::GetFileAttributesW(g_check.folder);
    g_check.why = attributes == INVALID_FILE_ATTRIBUTES      ? L"the folder does not exist: "
                  : !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? L"not a folder: "
                  : !reachedDirectly(g_check.folder)         ? L"the folder is reached through a link: "
                                                             : nullptr;
    if (module) ::FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
    return 0;
}

// The checks that reach the folder, bounded by kCheckWait.
const wchar_t* reach(const wchar_t* folder) {
    g_check = {folder, L"the folder did not answer in time: "};
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&checkFolder), &self);
    const UniqueKernelHandle thread(self ? ::CreateThread(nullptr, 64 * 1024, checkFolder, self, 0, nullptr) : nullptr);
    if (!thread) {  // no thread: checked here, unbounded
        if (self) ::FreeLibrary(self);
        checkFolder(nullptr);
        return g_check.why;
    }
    return ::WaitForSingleObject(thread.get(), kCheckWait) == WAIT_OBJECT_0 ? g_check.why
                                                                          : L"the folder did not answer in time: ";
}

}  // namespace

void say(const wchar_t* what, const wchar_t* detail, DWORD error) {
    wchar_t buffer[600];
    WideText line(buffer);
    line.put(L"kavlink: recording ").put(what).put(detail);
    if (error != 0) line.put(L" (error ").number(error).put(L')');
    line.put(L'\n');
    ::OutputDebugStringW(line.text());
}

bool readSwitch(wchar_t (&folder)[field::kFolderChars + 2]) {
    constexpr DWORD kChars = field::kFolderChars + 1;  // one more, to tell a value that is too long
    const wchar_t* source = L"KAVLINK_RECORD";
    ::SetLastError(ERROR_SUCCESS);
    DWORD n = ::GetEnvironmentVariableW(field::kSwitchVariable, folder, kChars);
    if (n >= kChars) {
        say(L"is off: the value of KAVLINK_RECORD is too long");
        return false;
    }
    if (n == 0 && ::GetLastError() != ERROR_ENVVAR_NOT_FOUND) return false;  // set but empty: off
    if (n == 0) {
        source = L"RecordFolder";
        DWORD bytes = kChars * sizeof(wchar_t);
        // REG_SZ, or REG_EXPAND_SZ with its variables expanded.
        const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, field::kSwitchKey, field::kSwitchValue, RRF_RT_REG_SZ,
                                              nullptr, folder, &bytes);
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
    if (folder[0] == 0) return false;
    wchar_t buffer[300];
    WideText detail(buffer);
    if (const wchar_t* why = folderProblem(folder)) {
        detail.put(source).put(L' ').put(why).put(L": ").put(folder);
        say(L"is off: ", detail.text());
        return false;
    }
    if (const wchar_t* why = reach(folder)) {
        detail.put(why).put(folder);
        say(L"is off: ", detail.text());
        return false;
    }
    return true;
}

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
        if (looseEnd(value + i, j - i)) return L"has a name ending in a space or a dot";
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

}  // namespace kav::record
