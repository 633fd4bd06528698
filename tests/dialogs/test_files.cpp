#include "test_files.h"

#include "kav/handles.h"
#include "temp_folder.h"

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

void RemoveTree(const std::wstring& path) { kavtest::removeTree(path); }

void WriteFile(const std::wstring& path, const std::string& bytes) {
    const kav::UniqueFileHandle file(
        ::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot write a test file");
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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
    const kav::WindowDc screen(nullptr);
    return ::GetDeviceCaps(screen.get(), index);
}
}  // namespace

int DisplayDpiX() { return Dpi(LOGPIXELSX); }
int DisplayDpiY() { return Dpi(LOGPIXELSY); }
int PixelsX(int twips) { return static_cast<int>((static_cast<long long>(twips) * DisplayDpiX() * 2 + 1440) / 2880); }
int PixelsY(int twips) { return static_cast<int>((static_cast<long long>(twips) * DisplayDpiY() * 2 + 1440) / 2880); }

}  // namespace kavtest
