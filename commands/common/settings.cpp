#include "settings.h"

#include "binding.h"
#include "module.h"
#include "text_utils.h"

#include <cmath>
#include <vector>

namespace kavcmd {
namespace {

// The wide profile functions keep a settings file without a byte-order mark
// in the system code page (they convert what they read and write), and take
// a file path with any characters.
LateBound<decltype(::GetPrivateProfileStringW)> getProfileString{"kernel32.dll", "GetPrivateProfileStringW"};
LateBound<decltype(::WritePrivateProfileStringW)> writeProfileString{"kernel32.dll", "WritePrivateProfileStringW"};
LateBound<decltype(::GetModuleFileNameW)> getModuleFileName{"kernel32.dll", "GetModuleFileNameW"};

// The value buffer: 512 characters with the terminator.
constexpr DWORD kValueBuffer = 512;

thread_local CommonFolders folders;

std::wstring ModuleFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = getModuleFileName(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw StepFailure(HRESULT_FROM_WIN32(::GetLastError()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::wstring file(path.data(), path.size());
    const size_t separator = file.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : file.substr(0, separator);
}

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction > 0.5) return lower + 1;
    if (fraction < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
}

}  // namespace

void ComputeCommonFolders() {
    CommonFolders f;
    f.rootFolder = ModuleFolder();
    f.sysinfoFolder = f.rootFolder + L"\\sysinfo";
    f.settingsFile = f.sysinfoFolder + L"\\qxSystem.ini";
    folders = std::move(f);
}

const CommonFolders& Folders() { return folders; }

std::wstring GetIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultText) {
    wchar_t buffer[kValueBuffer] = {};
    const DWORD n = getProfileString(section.c_str(), key.c_str(), L"", buffer, kValueBuffer, file.c_str());
    if (n > 0) return TrimSpaces(CutAtNul(std::wstring_view(buffer, n < kValueBuffer ? n : kValueBuffer - 1)));
    return defaultText;
}

void PutIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                  const std::wstring& text) {
    writeProfileString(section.c_str(), key.c_str(), text.c_str(), file.c_str());
}

int16_t TextToFlag(const std::wstring& text) {
    const double rounded = RoundHalfEven(LeadingNumber(text));
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw StepFailure(DISP_E_OVERFLOW);
    return static_cast<int16_t>(rounded);
}

int16_t ReadFlag(const std::wstring& section, const std::wstring& key) {
    return TextToFlag(GetIniString(folders.settingsFile, section, key, L"1"));
}

}  // namespace kavcmd
