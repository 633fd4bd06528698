// The shipped binaries as they leave the build: the version resource of
// each, and where a command component takes kavlink.dll from.  Runs from a
// folder of its own without kavlink.dll, so that the program's folder on the
// search order cannot hide a wrong load.
#include "component_identity.h"
#include "identity.h"  // csbclean's
#include "kav/com_ref.h"
#include "morvik_command.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// Folder of the stripped release copies (set by the build).
const std::wstring kReleaseDir = KAV_RELEASE_DIR;

std::wstring Release(const wchar_t* name) { return kReleaseDir + L"\\" + name; }

std::wstring StringValue(const std::vector<BYTE>& info, const std::wstring& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
    if (!::VerQueryValueW(info.data(), query.c_str(), &value, &length) || value == nullptr) return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

struct VersionCase {
    const wchar_t* file;
    DWORD fileMs, fileLs;   // fixed part, both FileVersion and ProductVersion
    const wchar_t* block;   // language and code page of the string table
    const wchar_t* fileVersion;
    const wchar_t* productVersion;
    const wchar_t* productName;
};

TEST(ReleaseFiles, VersionResourceOfEveryBinary) {
    const DWORD ms = MAKELONG(KAV_VERSION_MINOR, KAV_VERSION_MAJOR);
    const DWORD ls = MAKELONG(0, KAV_VERSION_PATCH);
    const VersionCase cases[] = {
        {L"kavlink.dll", ms, ls, L"040904B0", KAV_VERSION_TEXT L".0", KAV_VERSION_TEXT, L"Kavlink"},
        {L"kavhost.exe", ms, ls, L"040904B0", KAV_VERSION_TEXT L".0", KAV_VERSION_TEXT, L"Kavlink"},
        // The commands' own resource, fixed at 1.0.0.0 whatever the project version.
        {L"csbclean.dll", 0x00010000, 0, L"041104B0", L"1.00", L"1.00", L"csbclean"},
        {L"histclean.dll", 0x00010000, 0, L"041104B0", L"1.00", L"1.00", L"histclean"},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "file " << std::string(c.file, c.file + wcslen(c.file)));
        const std::wstring path = Release(c.file);
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_NE(size, 0u) << "no version resource";
        std::vector<BYTE> info(size);
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, c.fileMs);
        EXPECT_EQ(fixed->dwFileVersionLS, c.fileLs);
        EXPECT_EQ(fixed->dwProductVersionMS, c.fileMs);
        EXPECT_EQ(fixed->dwProductVersionLS, c.fileLs);
        EXPECT_EQ(StringValue(info, c.block, L"FileVersion"), c.fileVersion);
        EXPECT_EQ(StringValue(info, c.block, L"ProductVersion"), c.productVersion);
        EXPECT_EQ(StringValue(info, c.block, L"ProductName"), c.productName);
        EXPECT_EQ(StringValue(info, c.block, L"OriginalFilename"), c.file);
        if (c.block == std::wstring(L"040904B0")) {
            EXPECT_NE(StringValue(info, c.block, L"FileDescription"), L"<missing>");
            EXPECT_NE(StringValue(info, c.block, L"LegalCopyright"), L"<missing>");
        } else {
            EXPECT_EQ(StringValue(info, c.block, L"OLESelfRegister"), L"");
        }
    }
}

// ---- where kavlink.dll comes from -----------------------------------------

std::wstring LoadedPath(const wchar_t* module) {
    HMODULE h = ::GetModuleHandleW(module);
    if (!h) return L"<not loaded>";
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(h, path, MAX_PATH);
    return path;
}

bool Copy(const std::wstring& from, const std::wstring& to) { return ::CopyFileW(from.c_str(), to.c_str(), FALSE); }

struct PlantedCase {
    const char* what;
    const wchar_t* folder;  // the component's folder below the sandbox
    bool kavlinkBeside;
    HRESULT expected;       // of the string box hook, whose first request binds kavlink.dll
};

TEST(SafeLoading, PlantedKavlinkInTheCurrentDirectoryIsNeverLoaded) {
    // A fresh folder: Wine hands out process ids again, and a folder named by
    // the id alone may be left from an earlier run.
    const kavtest::TempFolder temp(L"kav-planted-");
    const std::wstring& sandbox = temp.path();
    const std::wstring drawings = sandbox + L"\\drawings";
    ASSERT_TRUE(::CreateDirectoryW(drawings.c_str(), nullptr));
    // The planted library: a kavlink.dll in the drawing folder, the current
    // directory while the command runs.
    ASSERT_TRUE(Copy(Release(L"kavlink.dll"), drawings + L"\\kavlink.dll"));
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(drawings.c_str()));

    // Each case loads its own copy of the component (a module of its own,
    // with nothing bound yet); kavlink.dll, once loaded, stays loaded, so
    // the case without a library beside the component comes first.
    const PlantedCase cases[] = {
        {"no kavlink.dll beside the component: the load fails", L"alone", false,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"kavlink.dll beside the component: that one is loaded", L"cad", true, S_OK},
    };
    const IID iid = kavcmd::ParseGuid(KAVCMD_IID);
    for (const PlantedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = sandbox + L"\\" + c.folder;
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(Copy(Release(L"csbclean.dll"), folder + L"\\csbclean.dll"));
        if (c.kavlinkBeside) {
            ASSERT_TRUE(Copy(Release(L"kavlink.dll"), folder + L"\\kavlink.dll"));
        }

        const HMODULE component = ::LoadLibraryW((folder + L"\\csbclean.dll").c_str());  // stays loaded
        ASSERT_NE(component, nullptr);
        using GetClassObjectFn = HRESULT __stdcall(REFCLSID, REFIID, void**);
        auto getClassObject = reinterpret_cast<GetClassObjectFn*>(::GetProcAddress(component, "DllGetClassObject"));
        ASSERT_NE(getClassObject, nullptr);
        kav::ComRef<IClassFactory> factory;
        const CLSID clsid = kavcmd::ParseGuid(KAVCMD_CLSID);
        ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, factory.putVoid()), S_OK);
        kav::ComRef<kavcmd::_MorvikVbCommand> command;
        ASSERT_EQ(factory->CreateInstance(nullptr, iid, command.putVoid()), S_OK);
        factory.reset();

        EXPECT_EQ(command->VokProcStringBoxEventHook(1, 4, 0), c.expected);
        if (c.kavlinkBeside) {
            EXPECT_EQ(LoadedPath(L"kavlink.dll"), folder + L"\\kavlink.dll");
        } else {
            EXPECT_EQ(LoadedPath(L"kavlink.dll"), L"<not loaded>");
        }
    }
    ::SetCurrentDirectoryW(previous);
}

}  // namespace
