// regsvr32 registers and unregisters each built component, also from a
// folder without kavlink.dll, where the component is still created but its
// start event fails.
#include "component_support.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <cstdio>

using namespace kavtest;

namespace {

std::wstring typeLibKey(const ComponentInfo& c) {
    wchar_t version[16];
    std::swprintf(version, 16, L"%x.%x", c.major, c.minor);  // registry versions are hexadecimal
    return std::wstring(L"TypeLib\\") + c.libid + L"\\" + version;
}

void expectRegistered(const ComponentInfo& c, const std::wstring& path) {
    SCOPED_TRACE(c.label);
    const std::wstring classKey = std::wstring(L"CLSID\\") + c.clsid;
    const auto server = classesText(classKey + L"\\InprocServer32");
    ASSERT_TRUE(server.has_value()) << "no InprocServer32";
    EXPECT_TRUE(equalPaths(*server, path)) << ::testing::PrintToString(*server);
    EXPECT_EQ(classesText(classKey + L"\\InprocServer32", L"ThreadingModel").value_or(L"-"), L"Apartment");
    EXPECT_EQ(classesText(classKey + L"\\ProgID").value_or(L"-"), c.progId);
    EXPECT_EQ(classesText(std::wstring(c.progId) + L"\\CLSID").value_or(L"-"), c.clsid);
    const auto typeLibPath = classesText(typeLibKey(c) + L"\\0\\win32");
    ASSERT_TRUE(typeLibPath.has_value()) << "type library not registered";
    EXPECT_TRUE(equalPaths(*typeLibPath, path)) << "the plain path: " << ::testing::PrintToString(*typeLibPath);
    EXPECT_EQ(classesText(std::wstring(L"Interface\\") + c.iid + L"\\TypeLib").value_or(L"-"), c.libid);
}

void expectUnregistered(const ComponentInfo& c) {
    SCOPED_TRACE(c.label);
    EXPECT_FALSE(classesKeyExists(std::wstring(L"CLSID\\") + c.clsid));
    EXPECT_FALSE(classesKeyExists(c.progId));
    EXPECT_FALSE(classesKeyExists(typeLibKey(c)));
    EXPECT_FALSE(classesKeyExists(std::wstring(L"Interface\\") + c.iid));
}

void copyInto(const TempFolder& folder, const std::wstring& name) {
    ASSERT_TRUE(::CopyFileW((exeFolder() + L"\\" + name).c_str(), folder.file(name).c_str(), FALSE))
        << "copy failed (" << ::GetLastError() << ")";
}

}  // namespace

// Every command the build makes (KAV_COMMANDS, from the top CMakeLists.txt)
// has its expected identity here, so that none goes untested.
TEST(Registration, EveryBuiltCommandHasItsExpectedIdentity) {
    std::string expected;
    for (const ComponentInfo& c : components()) {
        if (!expected.empty()) expected += ',';
        expected += c.label;
    }
    EXPECT_EQ(expected, KAV_COMMANDS);
}

TEST(Registration, Regsvr32RegistersAndUnregistersExactlyItsOwnEntries) {
    for (const ComponentInfo& c : components()) {
        const ProcessRun r = regsvr32(builtPath(c), false, exeFolder());
        ASSERT_TRUE(r.finished) << "regsvr32 hung or did not start: " << r.err;
        EXPECT_EQ(r.exit, 0u) << c.label << r.output();
        expectRegistered(c, builtPath(c));
    }
    const ComponentInfo& first = components()[0];
    const ComponentInfo& second = components()[1];
    EXPECT_EQ(regsvr32(builtPath(first), true, exeFolder()).exit, 0u);
    expectUnregistered(first);
    expectRegistered(second, builtPath(second));  // untouched by the other's removal
    EXPECT_EQ(regsvr32(builtPath(second), true, exeFolder()).exit, 0u);
    expectUnregistered(second);
    EXPECT_EQ(regsvr32(builtPath(second), true, exeFolder()).exit, 0u) << "nothing left to remove is no error";
}

class WithoutKavlink : public ::testing::TestWithParam<ComponentInfo> {};

TEST_P(WithoutKavlink, RegistersIsCreatedAndRefusesToStart) {
    const ComponentInfo& c = GetParam();
    TempFolder folder;
    copyInto(folder, c.file);
    copyInto(folder, L"no_kavlink_probe.exe");
    ASSERT_EQ(::GetFileAttributesW(folder.file(L"kavlink.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    const std::wstring path = folder.file(c.file);

    const ProcessRun reg = regsvr32(path, false, folder.path());
    ASSERT_TRUE(reg.finished) << reg.err;
    EXPECT_EQ(reg.exit, 0u) << reg.output();
    expectRegistered(c, path);

    // The probe creates the component by ProgID and calls its events; a host
    // window of this thread would see any request (there must be none).
    RecordingHost host;
    host.unbind();
    wchar_t window[16];
    std::swprintf(window, 16, L"%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host.window())));
    const ProcessRun probe = runCommandLine(L"\"" + folder.file(L"no_kavlink_probe.exe") + L"\" " + c.progId + L" " +
                                                c.iid + L" " + window,
                                            folder.path());
    ASSERT_TRUE(probe.finished) << "probe hung or did not start: " << probe.err;
    EXPECT_EQ(probe.exit, 0u) << probe.output();
    EXPECT_TRUE(host.requests().empty()) << "a request reached the host";
    EXPECT_EQ(host.storedHandle(), 0u) << "InitVBCmdLib cannot have run";

    const ProcessRun unreg = regsvr32(path, true, folder.path());
    EXPECT_EQ(unreg.exit, 0u) << unreg.output();
    expectUnregistered(c);
}

INSTANTIATE_TEST_SUITE_P(Components, WithoutKavlink, ::testing::ValuesIn(components()),
                         [](const auto& info) { return std::string(info.param.label); });
