// Both commands from the host's side: csbclean.dll and histclean.dll as
// built, their MorvikVbCommand created through the class factory, started
// with VokProcStartCmd against the recording host, and driven through the
// real dialog.  The host sees InitVBCmdLib's window and, at the end, the exit
// message and nothing else.
#include "morvik_command.h"
#include "recording_host.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

using namespace kavtest;

namespace {

struct Component {
    const wchar_t* file;
    const wchar_t* clsid;
    const wchar_t* iid;
};
const Component kCsbclean{L"csbclean.dll", L"{2D38DE7C-3BEC-4519-8B67-4D999253F6B7}",
                          L"{A93F99F2-E8A4-487E-8608-2C084826F652}"};
const Component kHistclean{L"histclean.dll", L"{BAFCABA9-20F0-4C5C-97B3-9E4DBDA513BD}",
                           L"{70DB71C4-A6D5-469E-A2C5-32CF9756A036}"};

// A command object from the component next to the test program.
class Command {
public:
    explicit Command(const Component& c) {
        module_ = ::LoadLibraryW((ProgramFolder() + L"\\" + c.file).c_str());
        if (!module_) return;
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto get = reinterpret_cast<GetClassObject>(::GetProcAddress(module_, "DllGetClassObject"));
        CLSID clsid{};
        IID iid{};
        ::CLSIDFromString(c.clsid, &clsid);
        ::IIDFromString(c.iid, &iid);
        IClassFactory* factory = nullptr;
        if (!get || FAILED(get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object_));
        factory->Release();
    }
    ~Command() {
        if (object_) object_->Release();
        // The module stays loaded: its per-thread state lives as long as the library.
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    kavcmd::_MorvikVbCommand* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    HMODULE module_ = nullptr;
    kavcmd::_MorvikVbCommand* object_ = nullptr;
};

class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u);
        root_ = ProgramFolder();
        sysinfo_ = root_ + L"\\sysinfo";
        RemoveTree(sysinfo_);
        RemoveTree(root_ + L"\\sysdata");
        MakeFolder(sysinfo_ + L"\\CSB\\sub");
        MakeFolder(root_ + L"\\sysdata");
        host_.unbind();
    }
    void TearDown() override {
        RemoveTree(sysinfo_);
        RemoveTree(root_ + L"\\sysdata");
    }
    LONG hostWindow() const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_.window())); }
    void expectOnlyTheExitMessage() {
        ASSERT_EQ(host_.requests().size(), 1u);
        EXPECT_EQ(host_.requests()[0].message, 1765u);
        EXPECT_EQ(host_.storedHandle(), static_cast<uint32_t>(hostWindow()));
    }

    RecordingHost host_;
    std::wstring root_, sysinfo_;
};

TEST_F(EndToEnd, CsbcleanEmptiesTheHistoryFolder) {
    Command command(kCsbclean);
    ASSERT_TRUE(command);
    WriteFile(sysinfo_ + L"\\CSB\\a.csb");
    WriteFile(sysinfo_ + L"\\CSB\\sub\\b.csb");
    host_.clear();
    LONG code = 0;
    std::wstring question;
    const DialogRun run = RunDialog([&] { return command->VokProcStartCmd(hostWindow(), 4, &code); },
                                    [&](UiDriver& ui) {
                                        HWND dialog = ui.WaitForWindow(L"コマンドサブボックス履歴の削除");
                                        EXPECT_NE(ui.Send(dialog, WM_GETICON, ICON_BIG), 0) << "icon resource";
                                        ui.Click(ui.Child(dialog, L"Button", L"削除実行(&G)"));
                                        question = ui.AnswerBox(L"注意", IDYES);
                                        ui.WaitGone(dialog);
                                    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(question, L"｢" + sysinfo_ + L"\\CSB｣内のファイルを削除します。よろしいですか？");
    EXPECT_FALSE(FileExists(sysinfo_ + L"\\CSB\\a.csb"));
    EXPECT_TRUE(FileExists(sysinfo_ + L"\\CSB\\sub\\b.csb"));
    EXPECT_EQ(ReadSetting(sysinfo_ + L"\\qxSystem.ini", L"CSB履歴フォルダ削除", L"確認メッセージ"),
              std::optional<std::wstring>(L"1"));
    expectOnlyTheExitMessage();
}

TEST_F(EndToEnd, HistcleanDeletesTheCheckedRows) {
    Command command(kHistclean);
    ASSERT_TRUE(command);
    WriteSettingsFile(sysinfo_ + L"\\qxSystem.ini", L"[各種履歴情報ファイル削除]\r\n確認メッセージ=0\r\nバインダー情報ファイル=0\r\n");
    const std::wstring files[] = {root_ + L"\\sysdata\\FileOpenDlg.ini", sysinfo_ + L"\\BndAttrData.ini",
                                  sysinfo_ + L"\\DrwAttrData.ini"};
    for (const auto& f : files) WriteFile(f);
    host_.clear();
    LONG code = 0;
    const DialogRun run = RunDialog([&] { return command->VokProcStartCmd(hostWindow(), 0, &code); },
                                    [&](UiDriver& ui) {
                                        HWND dialog = ui.WaitForWindow(L"各種履歴･情報ファイル削除");
                                        EXPECT_NE(ui.Send(dialog, WM_GETICON, ICON_BIG), 0) << "icon resource";
                                        ui.Click(ui.Child(dialog, L"Button", L"削除実行(&G)"));
                                        ui.WaitGone(dialog);
                                    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(FileExists(files[0]));
    EXPECT_TRUE(FileExists(files[1])) << "its row was stored unchecked";
    EXPECT_FALSE(FileExists(files[2]));
    const std::wstring ini = sysinfo_ + L"\\qxSystem.ini";
    EXPECT_EQ(ReadSetting(ini, L"各種履歴情報ファイル削除", L"確認メッセージ"), std::optional<std::wstring>(L"0"));
    EXPECT_EQ(ReadSetting(ini, L"各種履歴情報ファイル削除", L"開く履歴ファイル"), std::optional<std::wstring>(L"1"));
    EXPECT_EQ(ReadSetting(ini, L"各種履歴情報ファイル削除", L"バインダー情報ファイル"), std::optional<std::wstring>(L"0"));
    expectOnlyTheExitMessage();
}

TEST_F(EndToEnd, OverflowingSettingFailsTheStartWithoutDialogOrExit) {
    for (const Component* c : {&kCsbclean, &kHistclean}) {
        Command command(*c);
        ASSERT_TRUE(command);
        WriteSettingsFile(sysinfo_ + L"\\qxSystem.ini", L"[CSB履歴フォルダ削除]\r\n確認メッセージ=99999\r\n"
                                                        L"[各種履歴情報ファイル削除]\r\n図面属性情報ファイル=1e9\r\n");
        host_.clear();
        LONG code = 0;
        EXPECT_TRUE(FAILED(command->VokProcStartCmd(hostWindow(), 0, &code)));
        EXPECT_EQ(code, 1) << "the failure comes after nCode was set";
        EXPECT_TRUE(host_.requests().empty()) << "no exit message";
        EXPECT_EQ(host_.storedHandle(), static_cast<uint32_t>(hostWindow()));
    }
}

}  // namespace
