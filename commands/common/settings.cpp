#include "settings.h"

#include "binding.h"
#include "module.h"
#include "text_utils.h"

#include <cmath>
#include <vector>

namespace kavcmd {
namespace {

LateBound<decltype(::GetPrivateProfileStringA)> getProfileString{"kernel32.dll", "GetPrivateProfileStringA"};
LateBound<decltype(::WritePrivateProfileStringA)> writeProfileString{"kernel32.dll", "WritePrivateProfileStringA"};
LateBound<decltype(::GetModuleFileNameA)> getModuleFileName{"kernel32.dll", "GetModuleFileNameA"};

thread_local CommonFolders folders;

std::wstring ModuleFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = getModuleFileName(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw StepFailure(HRESULT_FROM_WIN32(::GetLastError()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::wstring file = FromAnsi(std::string_view(path.data(), path.size()));
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
    char buffer[512] = {};
    const std::string a = ToAnsi(section), k = ToAnsi(key), f = ToAnsi(file);
    const DWORD n = getProfileString(a.c_str(), k.c_str(), "", buffer, 512, f.c_str());
    if (n > 0) return TrimSpaces(FromAnsi(CutAtNul(std::string_view(buffer, n < 512 ? n : 511))));
    return defaultText;
}

void PutIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                  const std::wstring& text) {
    const std::string a = ToAnsi(section), k = ToAnsi(key), v = ToAnsi(text), f = ToAnsi(file);
    writeProfileString(a.c_str(), k.c_str(), v.c_str(), f.c_str());
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
