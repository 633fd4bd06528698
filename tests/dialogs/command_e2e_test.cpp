// Both commands from the host's side: csbclean.dll and histclean.dll as
// built, their MorvikVbCommand created through the class factory, started
// with VokProcStartCmd against the recording host, and driven through the
// real dialog.  The host sees InitVBCmdLib's window and, at the end, the exit
// message and nothing else.
#include "kav/com_ref.h"
#include "morvik_command.h"
#include "recording_host.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <vector>

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

// A command object from the component in `folder` (by default the test
// program's own).
class Command {
public:
    // The module stays loaded: its per-thread state lives as long as the library.
    explicit Command(const Component& c, const std::wstring& folder = ProgramFolder()) {
        const HMODULE module = ::LoadLibraryW((folder + L"\\" + c.file).c_str());
        if (!module) return;
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto get = reinterpret_cast<GetClassObject>(::GetProcAddress(module, "DllGetClassObject"));
        CLSID clsid{};
        IID iid{};
        ::CLSIDFromString(c.clsid, &clsid);
        ::IIDFromString(c.iid, &iid);
        kav::ComRef<IClassFactory> factory;
        if (!get || FAILED(get(clsid, IID_IClassFactory, factory.putVoid()))) return;
        factory->CreateInstance(nullptr, iid, object_.putVoid());
    }
    kavcmd::_MorvikVbCommand* operator->() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }

private:
    kav::ComRef<kavcmd::_MorvikVbCommand> object_;
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
        EXPECT_HRESULT_FAILED(command->VokProcStartCmd(hostWindow(), 0, &code));
        EXPECT_EQ(code, 1) << "the failure comes after nCode was set";
        EXPECT_TRUE(host_.requests().empty()) << "no exit message";
        EXPECT_EQ(host_.storedHandle(), static_cast<uint32_t>(hostWindow()));
    }
}

// ---- Japanese file and folder names ---------------------------------------
// Both commands run from a root folder whose name holds double-byte
// characters with the second bytes 0x5C and 0x7C in code page 932 (表, ソ,
// ポ): the components, kavlink.dll and the settings file all live below it.
// Every row makes real files, types its target into the dialog, presses the
// delete button and checks file by file what went and what stayed.

// A file and the folders above it.
void MakeFileIn(const std::wstring& path) {
    MakeFolder(path.substr(0, path.find_last_of(L'\\')));
    WriteFile(path);
}

const std::wstring kRootName = L"CAD表示ソポ";
// 40 characters, all with a second byte of 0x5C: 80 bytes in code page 932.
const std::wstring kForty = std::wstring(L"ソ表予能十申構貼圭") + L"ソ表予能十申構貼圭" + L"ソ表予能十申構貼圭" +
                            L"ソ表予能十申構貼圭" + L"ソ表予能";

struct NameRow {
    const char* what;
    const Component* command;
    std::wstring typed;               // into the folder box or row 0 (relative to the root), "" = the default
    std::vector<std::wstring> gone;   // files made, then expected deleted (relative to the root)
    std::vector<std::wstring> kept;   // files made, then expected in place
};

const std::vector<NameRow>& NameRows() {
    static const std::vector<NameRow> rows = {
        {"the user's CSB folder: six files, four with a 0x5C second byte", &kCsbclean, L"",
         {L"sysinfo\\CSB\\ソース.csb", L"sysinfo\\CSB\\表示.dat", L"sysinfo\\CSB\\予定.csb", L"sysinfo\\CSB\\能力",
          L"sysinfo\\CSB\\ファイル.csb", L"sysinfo\\CSB\\plain.csb"},
         {L"sysinfo\\CSB\\十申\\構.csb", L"sysinfo\\貼.csb", L"sysinfo\\CSB十\\a.csb"}},
        {"second bytes 0x7C 0x40 0x7E, half-width katakana, names outside code page 932", &kCsbclean,
         L"sysinfo\\履歴ポ機ミ\\表ソCSB",
         {L"sysinfo\\履歴ポ機ミ\\表ソCSB\\ポ.csb", L"sysinfo\\履歴ポ機ミ\\表ソCSB\\ァ機.csb",
          L"sysinfo\\履歴ポ機ミ\\表ソCSB\\ミ縷.csb", L"sysinfo\\履歴ポ機ミ\\表ソCSB\\ｿｰｽ.csb",
          L"sysinfo\\履歴ポ機ミ\\表ソCSB\\한글.csb", L"sysinfo\\履歴ポ機ミ\\表ソCSB\\\U0001F600.csb"},
         {L"sysinfo\\履歴ポ機ミ\\表ソCSB\\ソ\\ポ.csb", L"sysinfo\\履歴ポ機ミ\\表ソ\\a.csb",
          L"sysinfo\\履歴ポ機ミ\\x.csb", L"sysinfo\\CSB\\a.csb"}},
        {"a path far past 260 bytes in code page 932 but within 260 characters", &kCsbclean,
         L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB",
         {L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB\\" + kForty + L".csb"},
         {L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB\\ソ\\a.csb",
          // its full path would pass 259 characters
          L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB\\" + kForty + kForty + L".csb"}},
        {"a folder of 260 characters or more: left alone, nothing else touched", &kCsbclean,
         L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB",
         {},
         {L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"CSB\\a.csb",
          L"sysinfo\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\" + kForty + L"\\b.csb",
          L"sysinfo\\CSB\\c.csb"}},
        {"histclean: a pattern in a folder with 予定表, and the default rows below the root", &kHistclean,
         L"予定表\\*.ini",
         {L"予定表\\ソース.ini", L"予定表\\能力.INI", L"予定表\\ﾎﾟｰﾄ.ini", L"予定表\\한글.ini",
          L"sysinfo\\BndAttrData.ini", L"sysinfo\\DrwAttrData.ini"},
         {L"予定表\\表.txt", L"予定表\\十\\申.ini", L"予定表\\長い名前の設定ファイル.inix", L"予定\\a.ini",
          L"sysdata\\FileOpenDlg.ini"}},
        {"histclean: one file whose name ends in a 0x5C second byte, beside its look-alikes", &kHistclean,
         L"sysdata\\表ソ.ini",
         {L"sysdata\\表ソ.ini", L"sysinfo\\BndAttrData.ini", L"sysinfo\\DrwAttrData.ini"},
         {L"sysdata\\表.ini", L"sysdata\\ソ.ini", L"sysdata\\FileOpenDlg.ini"}},
    };
    return rows;
}

class JapaneseNames : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u);
        root_ = ProgramFolder() + L"\\" + kRootName;
        RemoveTree(root_);
        MakeFolder(root_ + L"\\sysinfo");
        // A component loaded by an earlier test stays loaded, and its file in place.
        for (const wchar_t* file : {L"csbclean.dll", L"histclean.dll", L"kavlink.dll"}) {
            const std::wstring copy = root_ + L"\\" + file;
            ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\" + file).c_str(), copy.c_str(), FALSE) || FileExists(copy));
        }
        host_.unbind();
    }
    void TearDown() override { RemoveTree(root_); }

    // Runs the row's command with its target typed in and the confirmation
    // answered yes; returns the question that was asked ("" if none).
    std::wstring run(const NameRow& row, bool confirm) {
        const bool csb = row.command == &kCsbclean;
        const std::wstring section = csb ? L"CSB履歴フォルダ削除" : L"各種履歴情報ファイル削除";
        WriteSettingsFile(root_ + L"\\sysinfo\\qxSystem.ini",
                          L"[" + section + L"]\r\n確認メッセージ=" + (confirm ? L"1" : L"0") + L"\r\n");
        Command command(*row.command, root_);
        EXPECT_TRUE(command);
        if (!command) return {};
        host_.clear();
        LONG code = 0;
        std::wstring question;
        const DialogRun result = RunDialog(
            [&] { return command->VokProcStartCmd(static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_.window())), 0, &code); },
            [&](UiDriver& ui) {
                HWND dialog = ui.WaitForWindow(csb ? L"コマンドサブボックス履歴の削除" : L"各種履歴･情報ファイル削除");
                if (!row.typed.empty()) ui.SetText(ChildrenOfClass(dialog, L"Edit").at(0), root_ + L"\\" + row.typed);
                ui.Click(ui.Child(dialog, L"Button", L"削除実行(&G)"));
                if (confirm) question = ui.AnswerBox(L"注意", IDYES);
                ui.WaitGone(dialog);
            });
        EXPECT_EQ(result.hr, S_OK);
        EXPECT_FALSE(result.forced);
        EXPECT_EQ(host_.requests().size(), 1u) << "only the exit message";
        // The settings file lies below the Japanese root folder.
        EXPECT_EQ(ReadSetting(root_ + L"\\sysinfo\\qxSystem.ini", section, L"確認メッセージ"),
                  std::optional<std::wstring>(confirm ? L"1" : L"0"));
        return question;
    }

    RecordingHost host_;
    std::wstring root_;
};

TEST_F(JapaneseNames, EveryFileThePatternSelectsGoesAndNothingElse) {
    for (const NameRow& row : NameRows()) {
        SCOPED_TRACE(row.what);
        RemoveTree(root_ + L"\\sysinfo\\CSB");
        for (const auto& f : row.gone) MakeFileIn(root_ + L"\\" + f);
        for (const auto& f : row.kept) MakeFileIn(root_ + L"\\" + f);
        for (const auto& f : row.gone) ASSERT_TRUE(FileExists(root_ + L"\\" + f)) << "made " << testing::PrintToString(f);
        run(row, false);
        for (const auto& f : row.gone) EXPECT_FALSE(FileExists(root_ + L"\\" + f)) << "still there: " << testing::PrintToString(f);
        for (const auto& f : row.kept) EXPECT_TRUE(FileExists(root_ + L"\\" + f)) << "deleted: " << testing::PrintToString(f);
        for (const auto& f : row.kept) RemoveTree(root_ + L"\\" + f);
    }
}

TEST_F(JapaneseNames, TheQuestionShowsTheJapaneseFolder) {
    const NameRow& row = NameRows().at(0);
    for (const auto& f : row.gone) MakeFileIn(root_ + L"\\" + f);
    EXPECT_EQ(run(row, true), L"｢" + root_ + L"\\sysinfo\\CSB｣内のファイルを削除します。よろしいですか？");
    for (const auto& f : row.gone) EXPECT_FALSE(FileExists(root_ + L"\\" + f)) << testing::PrintToString(f);
}

}  // namespace
