#include "temp_folder.h"

#include "kav/handles.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

namespace kavtest {
namespace {

// The path with the prefix that lifts the MAX_PATH limit.
std::wstring extended(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.size() < 3 || path[1] != L':' || path.find(L'/') != std::wstring::npos)
        return path;
    return L"\\\\?\\" + path;
}

}  // namespace

bool removeTree(const std::wstring& path) {
    const std::wstring p = extended(path);
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(p.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ::DeleteFileW(p.c_str()) != 0;
    WIN32_FIND_DATAW found{};
    const kav::UniqueFind search(::FindFirstFileW((p + L"\\*").c_str(), &found));
    bool all = true;
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") all = removeTree(path + L"\\" + name) && all;
        } while (::FindNextFileW(search.get(), &found));
    }
    return ::RemoveDirectoryW(p.c_str()) != 0 && all;
}

TempFolder::TempFolder(const std::wstring& prefix) {
    wchar_t base[MAX_PATH] = {};
    if (::GetTempPathW(MAX_PATH, base) == 0) throw std::runtime_error("no temporary folder");
    for (unsigned n = ::GetTickCount() & 0xFFFF;; ++n) {
        path_ = std::wstring(base) + prefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(n);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
    }
}

TempFolder::~TempFolder() {
    if (!removeTree(path_)) std::fprintf(stderr, "note: the temporary folder %ls was not removed completely\n", path_.c_str());
}

}  // namespace kavtest
