#include "run/diagnosis.h"

#include "kav/handles.h"
#include "script/host_text.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace kavhost {
namespace {

constexpr DWORD kMaxImage = 64u << 20;

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring fileOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool readImage(const std::wstring& path, std::vector<uint8_t>& out, std::string& error) {
    kav::UniqueFileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) {
        error = "cannot open " + narrow(path) + ": " + describeHresult(HRESULT_FROM_WIN32(GetLastError()));
        return false;
    }
    const DWORD size = GetFileSize(f.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > kMaxImage) {
        error = narrow(path) + " is too large for a component";
        return false;
    }
    out.resize(size);
    DWORD got = 0;
    if (!ReadFile(f.get(), out.data(), size, &got, nullptr) || got != size) {
        error = "cannot read " + narrow(path);
        return false;
    }
    return true;
}

template <class T> bool at(const std::vector<uint8_t>& b, size_t offset, T& out) {
    if (offset > b.size() || sizeof(T) > b.size() - offset) return false;
    std::memcpy(&out, b.data() + offset, sizeof(T));
    return true;
}

// File offset of a relative virtual address, through the section table.
bool fileOffset(const std::vector<uint8_t>& b, size_t sections, WORD count, DWORD rva, size_t& out) {
    for (WORD i = 0; i < count; ++i) {
        IMAGE_SECTION_HEADER s;
        if (!at(b, sections + i * sizeof s, s)) return false;
        const DWORD span = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span) {
            out = static_cast<size_t>(s.PointerToRawData) + (rva - s.VirtualAddress);
            return out < b.size();
        }
    }
    return false;
}

bool isApiSet(const std::string& name) {
    return _strnicmp(name.c_str(), "api-ms-", 7) == 0 || _strnicmp(name.c_str(), "ext-ms-", 7) == 0;
}

bool besideExists(const std::wstring& folder, const std::wstring& name) {
    return GetFileAttributesW((folder + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool onSearchPath(const std::wstring& name) {
    if (GetModuleHandleW(name.c_str())) return true;
    wchar_t found[MAX_PATH];
    if (SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr)) return true;
    kav::UniqueLibrary data(LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    return static_cast<bool>(data);
}

void collectMissing(const std::wstring& path, const std::wstring& folder, int depth, std::set<std::wstring>& seen,
                    std::vector<std::string>& out) {
    std::string error;
    for (const std::string& dll : importedDlls(path, error)) {
        const std::wstring name = widen(dll);
        std::wstring key = name;
        CharLowerW(key.data());
        if (isApiSet(dll) || !seen.insert(key).second) continue;
        if (besideExists(folder, name)) {
            if (depth > 0) collectMissing(folder + L"\\" + name, folder, depth - 1, seen, out);
        } else if (!onSearchPath(name)) {
            out.push_back(narrow(fileOf(path)) + " imports " + dll + ", which is neither beside it (" + narrow(folder) +
                          ") nor on the search path");
        }
    }
}

}  // namespace

std::vector<std::string> importedDlls(const std::wstring& path, std::string& error) {
    std::vector<uint8_t> b;
    std::vector<std::string> out;
    if (!readImage(path, b, error)) return out;
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    if (!at(b, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !at(b, dos.e_lfanew, signature) ||
        signature != IMAGE_NT_SIGNATURE || !at(b, dos.e_lfanew + 4, file)) {
        error = narrow(path) + " is not a Windows DLL";
        return out;
    }
    const size_t optional = dos.e_lfanew + 4 + sizeof file;
    WORD magic = 0;
    at(b, optional, magic);
    IMAGE_DATA_DIRECTORY imports = {};
    bool ok = false;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 h;
        ok = at(b, optional, h) && h.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT;
        if (ok) imports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }
    if (!ok) {
        error = narrow(path) + " is not a 32-bit Windows DLL";
        return out;
    }
    const size_t sections = optional + file.SizeOfOptionalHeader;
    size_t pos = 0;
    if (imports.VirtualAddress == 0 || !fileOffset(b, sections, file.NumberOfSections, imports.VirtualAddress, pos))
        return out;
    for (IMAGE_IMPORT_DESCRIPTOR d; at(b, pos, d) && d.Name != 0 && out.size() < 1024; pos += sizeof d) {
        size_t name = 0;
        if (!fileOffset(b, sections, file.NumberOfSections, d.Name, name)) break;
        const void* end = std::memchr(b.data() + name, 0, std::min<size_t>(b.size() - name, 260));
        if (!end) break;
        out.emplace_back(reinterpret_cast<const char*>(b.data() + name));
    }
    return out;
}

std::vector<std::string> missingImports(const std::wstring& path) {
    std::vector<std::string> out;
    std::set<std::wstring> seen;
    collectMissing(path, folderOf(path), 3, seen, out);
    return out;
}

std::string kavlinkProblem(const std::wstring& componentPath) {
    const std::wstring folder = folderOf(componentPath);
    if (besideExists(folder, L"kavlink.dll") || onSearchPath(L"kavlink.dll")) return "";
    return "kavlink.dll is neither beside " + narrow(fileOf(componentPath)) + " (" + narrow(folder) +
           ") nor on the search path; the component loads it at its first call of the library";
}

std::vector<std::string> diagnoseComponent(const std::wstring& componentPath) {
    std::vector<std::string> out;
    if (componentPath.empty()) return out;
    if (GetFileAttributesW(componentPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        out.push_back("the component file " + narrow(componentPath) + " does not exist");
        return out;
    }
    out = missingImports(componentPath);
    if (const std::string k = kavlinkProblem(componentPath); !k.empty()) out.push_back(k);
    return out;
}

std::wstring registeredServer(const std::wstring& clsidText) {
    wchar_t value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    const std::wstring key = L"CLSID\\" + clsidText + L"\\InprocServer32";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return L"";
    std::wstring s = value;
    if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"') s = s.substr(1, s.size() - 2);
    return s;
}

}  // namespace kavhost
