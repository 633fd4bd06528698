#include "file_deletion.h"

#include "binding.h"
#include "text_utils.h"

#include <windows.h>

#include <vector>

namespace kavcmd {
namespace {

LateBound<decltype(::FindFirstFileW)> findFirstFile{"kernel32.dll", "FindFirstFileW"};
LateBound<decltype(::FindNextFileW)> findNextFile{"kernel32.dll", "FindNextFileW"};
LateBound<decltype(::FindClose)> findClose{"kernel32.dll", "FindClose"};
LateBound<decltype(::DeleteFileW)> deleteFile{"kernel32.dll", "DeleteFileW"};

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

// Paths of up to 259 characters, the same on every platform.
constexpr size_t kPathLimit = MAX_PATH;

constexpr DWORD kSkippedAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Deletes the files of `folder` (with its trailing separator, or empty for
// the current folder) that the platform finds for `pattern` and whose long
// names match `accept` (null: every file).
void DeleteFound(const std::wstring& folder, const std::wstring& pattern, const std::wstring* accept) {
    const std::wstring query = folder + pattern;
    if (query.size() >= kPathLimit) return;
    WIN32_FIND_DATAW found{};
    FindHandle search;
    search.h = findFirstFile(query.c_str(), &found);
    if (search.h == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & kSkippedAttributes) continue;
        const std::wstring name = CutAtNul(std::wstring_view(found.cFileName, MAX_PATH));
        if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) continue;
        if (accept && !NameMatches(name, *accept)) continue;
        const std::wstring file = folder + name;
        if (file.size() >= kPathLimit) continue;
        deleteFile(file.c_str());  // a failure leaves the file; the others go on
    } while (findNextFile(search.h, &found));
}

// The text as characters: a surrogate pair is one entry.
std::vector<std::wstring_view> Characters(const std::wstring& text) {
    std::vector<std::wstring_view> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        const size_t n = pair ? 2 : 1;
        out.push_back(std::wstring_view(text).substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

bool NameMatches(std::wstring_view name, std::wstring_view pattern) {
    const std::wstring upperName = UpperCase(name), upperPattern = UpperCase(pattern);
    const std::vector<std::wstring_view> n = Characters(upperName), p = Characters(upperPattern);
    size_t ni = 0, pi = 0, starP = std::wstring::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L"?" || p[pi] == n[ni])) {
            ++ni;
            ++pi;
        } else if (pi < p.size() && p[pi] == L"*") {
            starP = pi++;
            starN = ni;
        } else if (starP != std::wstring::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L"*") ++pi;
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
