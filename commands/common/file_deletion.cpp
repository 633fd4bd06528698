#include "file_deletion.h"

#include "binding.h"
#include "text_utils.h"

#include <windows.h>

namespace kavcmd {
namespace {

LateBound<decltype(::FindFirstFileA)> findFirstFile{"kernel32.dll", "FindFirstFileA"};
LateBound<decltype(::FindNextFileA)> findNextFile{"kernel32.dll", "FindNextFileA"};
LateBound<decltype(::FindClose)> findClose{"kernel32.dll", "FindClose"};
LateBound<decltype(::DeleteFileA)> deleteFile{"kernel32.dll", "DeleteFileA"};

bool HasWildcards(std::wstring_view text) { return text.find_first_of(L"*?") != std::wstring_view::npos; }

struct FindHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    FindHandle() = default;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (h != INVALID_HANDLE_VALUE) findClose(h);
    }
};

constexpr DWORD kSkippedAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Deletes the files of `folder` (ANSI, with its trailing separator or empty
// for the current folder) that the platform finds for `pattern` and whose
// long names match `accept` (null: every file).
void DeleteFound(const std::wstring& folder, const std::wstring& pattern, const std::wstring* accept) {
    bool lossy = false;
    const std::string folderA = ToAnsi(folder, &lossy);
    if (lossy) return;
    const std::string patternA = ToAnsi(pattern, &lossy);
    if (lossy) return;
    const std::string query = folderA + patternA;

    WIN32_FIND_DATAA found{};
    FindHandle search;
    search.h = findFirstFile(query.c_str(), &found);
    if (search.h == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & kSkippedAttributes) continue;
        const std::string name = CutAtNul(std::string_view(found.cFileName, sizeof found.cFileName));
        if (name.empty() || name.find_first_of("\\/:") != std::string::npos) continue;
        if (accept && !NameMatches(FromAnsi(name), *accept)) continue;
        deleteFile((folderA + name).c_str());  // a failure leaves the file; the others go on
    } while (findNextFile(search.h, &found));
}

}  // namespace

bool NameMatches(std::wstring_view name, std::wstring_view pattern) {
    const std::wstring n = UpperCase(name), p = UpperCase(pattern);
    size_t ni = 0, pi = 0, starP = std::wstring::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
            ++ni;
            ++pi;
        } else if (pi < p.size() && p[pi] == L'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::wstring::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*') ++pi;
    return pi == p.size();
}

void DeleteFilesInFolder(const std::wstring& folder) {
    if (folder.empty() || HasWildcards(folder)) return;
    DeleteFound(folder + L"\\", L"*.*", nullptr);
}

void DeleteMatchingFiles(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/:");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
    const std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    if (name.empty() || HasWildcards(folder)) return;
    DeleteFound(folder, name, &name);
}

}  // namespace kavcmd
