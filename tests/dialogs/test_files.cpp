#include "test_files.h"

#include <stdexcept>
#include <vector>

namespace kavtest {

namespace {
// Paths near or past MAX_PATH are passed in their "\\?\" form.
std::wstring Long(const std::wstring& path) { return path.size() >= 200 ? L"\\\\?\\" + path : path; }
}  // namespace

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/"));
}

std::string ToCodePage932(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void MakeFolder(const std::wstring& path) {
    if (path.empty() || FileExists(path)) return;
    const size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > 2) MakeFolder(path.substr(0, separator));
    ::CreateDirectoryW(Long(path).c_str(), nullptr);
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(Long(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(Long(path).c_str());
        return;
    }
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(Long(path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(Long(path).c_str());
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a test file");
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::optional<std::wstring> ReadSetting(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    const std::string f = ToCodePage932(file), s = ToCodePage932(section), k = ToCodePage932(key);
    char buffer[512] = {};
    const char* missing = "\x01missing";
    ::GetPrivateProfileStringA(s.c_str(), k.c_str(), missing, buffer, sizeof buffer, f.c_str());
    if (std::string(buffer) == missing) return std::nullopt;
    const std::string value(buffer);
    const int n = ::MultiByteToWideChar(932, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(932, 0, value.data(), static_cast<int>(value.size()), out.data(), n);
    return out;
}

void WriteSettingsFile(const std::wstring& file, const std::wstring& lines) { WriteFile(file, ToCodePage932(lines)); }

namespace {
int Dpi(int index) {
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, index);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}
}  // namespace

int DisplayDpiX() { return Dpi(LOGPIXELSX); }
int DisplayDpiY() { return Dpi(LOGPIXELSY); }
int PixelsX(int twips) { return static_cast<int>((static_cast<long long>(twips) * DisplayDpiX() * 2 + 1440) / 2880); }
int PixelsY(int twips) { return static_cast<int>((static_cast<long long>(twips) * DisplayDpiY() * 2 + 1440) / 2880); }

}  // namespace kavtest
