// The commands' shared utilities on real files and settings in code page
// 932, and their message boxes and folder picker on the test display.
#include "file_deletion.h"
#include "kav/handles.h"
#include "folder_picker.h"
#include "messages.h"
#include "settings.h"
#include "test_files.h"
#include "text_utils.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kavtest;
using kavcmd::StepFailure;

namespace {

class CommandUtils : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u) << "the tests need the Japanese ANSI code page";
        work_ = ProgramFolder() + L"\\work";
        RemoveTree(work_);
        MakeFolder(work_);
        ini_ = work_ + L"\\qxSystem.ini";
    }
    void TearDown() override { RemoveTree(work_); }

    std::wstring work_, ini_;
};

TEST_F(CommandUtils, FoldersFollowTheComponentsOwnFile) {
    kavcmd::ComputeCommonFolders();
    const auto& f = kavcmd::Folders();
    EXPECT_EQ(_wcsicmp(f.rootFolder.c_str(), ProgramFolder().c_str()), 0) << f.rootFolder;
    EXPECT_NE(f.rootFolder.back(), L'\\');
    EXPECT_EQ(f.sysinfoFolder, f.rootFolder + L"\\sysinfo");
    EXPECT_EQ(f.settingsFile, f.rootFolder + L"\\sysinfo\\qxSystem.ini");
}

TEST_F(CommandUtils, GetIniStringReadsTrimsAndFallsBack) {
    WriteSettingsFile(ini_, L"[各種履歴情報ファイル削除]\r\n"
                            L"空=\r\n"
                            L"空白= 1 \r\n"
                            L"日本語=図面属性\r\n"
                            L"長い=" + std::wstring(600, L'a') + L"\r\n"
                            L"長い日本語=" + std::wstring(600, L'表') + L"\r\n");
    const std::wstring section = L"各種履歴情報ファイル削除";
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"空", L"1"), L"1");
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"空白", L"x"), L"1");
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"日本語", L"x"), L"図面属性");
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"無い", L" d "), L" d ") << "the default comes back untrimmed";
    EXPECT_EQ(kavcmd::GetIniString(ini_, L"無いセクション", L"空白", L"7"), L"7");
    EXPECT_EQ(kavcmd::GetIniString(work_ + L"\\missing.ini", section, L"空白", L"1"), L"1");
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"長い", L"x"), std::wstring(511, L'a')) << "512-character buffer";
    EXPECT_EQ(kavcmd::GetIniString(ini_, section, L"長い日本語", L"x"), std::wstring(511, L'表')) << "whole characters";
}

TEST_F(CommandUtils, PutIniStringStoresInTheSystemCodePage) {
    kavcmd::PutIniString(ini_, L"CSB履歴フォルダ削除", L"確認メッセージ", L"0");
    EXPECT_EQ(ReadSetting(ini_, L"CSB履歴フォルダ削除", L"確認メッセージ"), std::optional<std::wstring>(L"0"));
    // The file holds the section name as code page 932 bytes.
    char raw[256] = {};
    const kav::UniqueFileHandle file(
        ::CreateFileW(ini_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD got = 0;
    ::ReadFile(file.get(), raw, sizeof raw - 1, &got, nullptr);
    EXPECT_NE(std::string(raw, got).find(ToCodePage932(L"[CSB履歴フォルダ削除]")), std::string::npos);

    // A missing folder is not created and nothing is reported.
    const std::wstring nowhere = work_ + L"\\absent\\qxSystem.ini";
    EXPECT_NO_THROW(kavcmd::PutIniString(nowhere, L"CSB履歴フォルダ削除", L"確認メッセージ", L"1"));
    EXPECT_FALSE(FileExists(work_ + L"\\absent"));
}

TEST_F(CommandUtils, FlagReadingRoundsHalfToEvenAndRefusesOverflow) {
    struct Case {
        const wchar_t* text;
        int flag;
    } cases[] = {
        {L"0", 0},      {L"1", 1},       {L"abc", 0},     {L"1.5", 2},       {L"2.5", 2},    {L"0.5", 0},
        {L"-1.5", -2},  {L"3.5", 4},     {L"  7x", 7},    {L"1e3", 1000},    {L"+3", 3},     {L"1e", 1},
        {L".5", 0},     {L"2.51", 3},    {L"32767", 32767}, {L"-32768", -32768}, {L"-32768.5", -32768}, {L"", 0},
        {L"1,5", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kavcmd::TextToFlag(c.text), c.flag) << "text \"" << testing::PrintToString(std::wstring(c.text)) << "\"";
    }
    for (const wchar_t* overflow : {L"32767.5", L"32768", L"-32769", L"40000", L"1e999", L"-1e5"}) {
        try {
            kavcmd::TextToFlag(overflow);
            ADD_FAILURE() << "no overflow for " << testing::PrintToString(std::wstring(overflow));
        } catch (const StepFailure& f) {
            EXPECT_HRESULT_FAILED(f.hr);
        }
    }
}

TEST_F(CommandUtils, ReadFlagUsesTheSettingsFileOfTheRootFolder) {
    kavcmd::ComputeCommonFolders();
    const std::wstring sysinfo = kavcmd::Folders().sysinfoFolder;
    RemoveTree(sysinfo);
    EXPECT_EQ(kavcmd::ReadFlag(L"CSB履歴フォルダ削除", L"確認メッセージ"), 1) << "missing file gives the default";
    MakeFolder(sysinfo);
    WriteSettingsFile(kavcmd::Folders().settingsFile, L"[CSB履歴フォルダ削除]\r\n確認メッセージ= 1.5 \r\n"
                                                      L"[各種履歴情報ファイル削除]\r\n確認メッセージ=0\r\n開く履歴ファイル=70000\r\n");
    EXPECT_EQ(kavcmd::ReadFlag(L"CSB履歴フォルダ削除", L"確認メッセージ"), 2);
    EXPECT_EQ(kavcmd::ReadFlag(L"各種履歴情報ファイル削除", L"確認メッセージ"), 0);
    EXPECT_THROW(kavcmd::ReadFlag(L"各種履歴情報ファイル削除", L"開く履歴ファイル"), StepFailure);
    RemoveTree(sysinfo);
}

TEST_F(CommandUtils, NumToTextKeepsTheLeadingZero) {
    struct Case {
        double value;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},   {1, L"1"},        {-1, L"-1"},      {0.5, L"0.5"},     {-0.5, L"-0.5"}, {2.5, L"2.5"},
        {-0.25, L"-0.25"}, {-3, L"-3"}, {32767, L"32767"}, {-32768, L"-32768"}, {0.125, L"0.125"}, {1e20, L"1E+20"},
    };
    for (const Case& c : cases) EXPECT_EQ(kavcmd::NumToText(c.value), c.text) << c.value;
}

TEST_F(CommandUtils, TextHelpers) {
    EXPECT_EQ(kavcmd::CutAtNul(std::wstring()), L"");
    EXPECT_EQ(kavcmd::CutAtNul(std::wstring(L"\0abc", 4)), L"");
    EXPECT_EQ(kavcmd::CutAtNul(std::wstring(L"ab\0c\0", 5)), L"ab");
    EXPECT_EQ(kavcmd::CutAtNul(std::wstring(L"abc")), L"abc");
    EXPECT_EQ(kavcmd::TrimSpaces(L"   "), L"");
    EXPECT_EQ(kavcmd::TrimSpaces(L"  a b  "), L"a b");
    EXPECT_EQ(kavcmd::TrimSpaces(L"\ta\t"), L"\ta\t") << "only spaces are trimmed";
    EXPECT_TRUE(kavcmd::EndsWithUpper(L"C:\\work\\mini", L"INI"));
    EXPECT_TRUE(kavcmd::EndsWithUpper(L"x.iNi", L"INI"));
    EXPECT_TRUE(kavcmd::EndsWithUpper(L"D:\\OldCsb", L"CSB"));
    EXPECT_FALSE(kavcmd::EndsWithUpper(L"D:\\CSB\\", L"CSB"));
    EXPECT_FALSE(kavcmd::EndsWithUpper(L"SB", L"CSB"));
    EXPECT_EQ(kavcmd::FromAnsi(kavcmd::ToAnsi(L"履歴｢CSB｣･")), L"履歴｢CSB｣･");
    bool lossy = false;
    kavcmd::ToAnsi(L"a\u00e9.ini", &lossy);
    EXPECT_TRUE(lossy) << "é has no code page 932 form";
    kavcmd::ToAnsi(L"履歴\\a.ini", &lossy);
    EXPECT_FALSE(lossy);
}

TEST_F(CommandUtils, NameMatching) {
    EXPECT_TRUE(kavcmd::NameMatches(L"a.INI", L"*.ini"));
    EXPECT_TRUE(kavcmd::NameMatches(L".ini", L"*.ini"));
    EXPECT_FALSE(kavcmd::NameMatches(L"a.inix", L"*.ini"));
    EXPECT_FALSE(kavcmd::NameMatches(L"a.ini.bak", L"*.ini"));
    EXPECT_TRUE(kavcmd::NameMatches(L"ab.ini", L"a?.ini"));
    EXPECT_FALSE(kavcmd::NameMatches(L"a.ini", L"a?.ini"));
    EXPECT_TRUE(kavcmd::NameMatches(L"FileOpenDlg.ini", L"fileopendlg.INI"));
    EXPECT_TRUE(kavcmd::NameMatches(L"x", L"*"));
    // Characters, not bytes: ソ and 表 end in 0x5C, ポ in 0x7C in code page 932.
    EXPECT_TRUE(kavcmd::NameMatches(L"ソ.ini", L"?.ini"));
    EXPECT_TRUE(kavcmd::NameMatches(L"表ソポ.INI", L"*ソポ.ini"));
    EXPECT_FALSE(kavcmd::NameMatches(L"表ソ.ini", L"?.ini"));
    EXPECT_TRUE(kavcmd::NameMatches(L"\U0001F600.ini", L"?.ini")) << "a surrogate pair is one character";
}

TEST_F(CommandUtils, FolderDeletionTakesOnlyTheFilesDirectlyInside) {
    const std::wstring csb = work_ + L"\\CSB";
    MakeFolder(csb + L"\\sub");
    for (const wchar_t* name : {L"a.txt", L"noext", L"h.dat"}) WriteFile(csb + L"\\" + name);
    WriteFile(csb + L"\\sub\\keep.txt");
    WriteFile(csb + L"\\hidden.txt");
    ::SetFileAttributesW((csb + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteFile(csb + L"\\locked.txt");
    ::SetFileAttributesW((csb + L"\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFile(work_ + L"\\beside.txt");

    EXPECT_NO_THROW(kavcmd::DeleteFilesInFolder(csb));
    for (const wchar_t* name : {L"a.txt", L"noext", L"h.dat"}) EXPECT_FALSE(FileExists(csb + L"\\" + name)) << name;
    EXPECT_TRUE(FileExists(csb + L"\\sub\\keep.txt"));
    EXPECT_TRUE(FileExists(csb + L"\\hidden.txt"));
    EXPECT_TRUE(FileExists(csb + L"\\locked.txt")) << "a file that cannot be deleted stays, silently";
    EXPECT_TRUE(FileExists(work_ + L"\\beside.txt"));
    EXPECT_TRUE(FileExists(csb));

    // Wildcards in the folder text and missing folders delete nothing.
    WriteFile(csb + L"\\b.txt");
    EXPECT_NO_THROW(kavcmd::DeleteFilesInFolder(work_ + L"\\*SB"));
    EXPECT_NO_THROW(kavcmd::DeleteFilesInFolder(work_ + L"\\C?B"));
    EXPECT_NO_THROW(kavcmd::DeleteFilesInFolder(work_ + L"\\NoSuchCSB"));
    EXPECT_TRUE(FileExists(csb + L"\\b.txt"));
}

TEST_F(CommandUtils, PatternDeletionStaysInTheLastPart) {
    const std::wstring dir = work_ + L"\\conf";
    MakeFolder(dir + L"\\sub");
    for (const wchar_t* name : {L"a.ini", L"b.INI", L"c.txt", L"d.inix", L"ab.ini", L"mini"}) WriteFile(dir + L"\\" + name);
    WriteFile(dir + L"\\sub\\e.ini");
    MakeFolder(dir + L"\\folder.ini");

    // A character without a code page 932 form would turn into '?': nothing.
    kavcmd::DeleteMatchingFiles(dir + L"\\a\u00e9.ini");
    EXPECT_TRUE(FileExists(dir + L"\\ab.ini"));
    // Wildcards before the last part: nothing.
    kavcmd::DeleteMatchingFiles(work_ + L"\\*\\a.ini");
    EXPECT_TRUE(FileExists(dir + L"\\a.ini"));

    kavcmd::DeleteMatchingFiles(dir + L"\\mini");
    EXPECT_FALSE(FileExists(dir + L"\\mini"));
    kavcmd::DeleteMatchingFiles(dir + L"\\*.ini");
    for (const wchar_t* gone : {L"a.ini", L"b.INI", L"ab.ini"}) EXPECT_FALSE(FileExists(dir + L"\\" + gone)) << gone;
    for (const wchar_t* kept : {L"c.txt", L"d.inix", L"sub\\e.ini", L"folder.ini"}) EXPECT_TRUE(FileExists(dir + L"\\" + kept)) << kept;
    EXPECT_NO_THROW(kavcmd::DeleteMatchingFiles(dir + L"\\missing.ini"));
}

TEST_F(CommandUtils, WarningBoxHasTitleTextAndOnlyOk) {
    std::wstring seen;
    bool hasCancel = true, hasYes = true;
    RunDialog(
        [] {
            kavcmd::ShowWarning(L"CSB履歴フォルダを入力して下さい。");
            return S_OK;
        },
        [&](UiDriver& ui) {
            HWND box = ui.WaitForWindow(L"警告");
            hasCancel = ::GetDlgItem(box, IDCANCEL) != nullptr && ::IsWindowVisible(::GetDlgItem(box, IDCANCEL));
            hasYes = ::GetDlgItem(box, IDYES) != nullptr;
            seen = ui.MessageText(box);
            ui.Answer(box, IDOK);
        });
    EXPECT_EQ(seen, L"CSB履歴フォルダを入力して下さい。");
    EXPECT_FALSE(hasCancel);
    EXPECT_FALSE(hasYes);
}

TEST_F(CommandUtils, QuestionBoxAnswersYesOrNo) {
    for (int answer : {IDNO, IDYES}) {
        int16_t result = 0;
        std::wstring seen;
        RunDialog(
            [&] {
                result = kavcmd::AskYesNo(L"｢C:\\x\\CSB｣内のファイルを削除します。よろしいですか？");
                return S_OK;
            },
            [&](UiDriver& ui) { seen = ui.AnswerBox(L"注意", answer); });
        EXPECT_EQ(result, answer);
        EXPECT_EQ(seen, L"｢C:\\x\\CSB｣内のファイルを削除します。よろしいですか？");
    }
}

TEST_F(CommandUtils, FolderPickerStartsAtTheInitialPath) {
    // A short path: the browser walks its tree down to the folder.
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring start = windows;
    const kav::UniqueWindow ownerWindow(
        ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(ownerWindow);
    const HWND owner = ownerWindow.get();
    struct Case {
        std::wstring initial;
        int button;
        std::wstring expected;
    } cases[] = {
        {start, IDOK, start},                        // the callback preselects the initial folder
        {start, IDCANCEL, L""},                      // cancel gives the empty text
        {work_ + L"\\does-not-exist", IDCANCEL, L""}, // opens all the same
    };
    for (const Case& c : cases) {
        std::wstring picked = L"unset";
        bool opened = false;
        RunDialog(
            [&] {
                picked = kavcmd::PickFolder(owner, L"CSB履歴が保存されているフォルダを選択します。", c.initial);
                return S_OK;
            },
            [&](UiDriver& ui) {
                HWND browser = ui.WaitForOwned(owner);
                opened = true;
                ::Sleep(300);  // let the browser settle on its selection
                ui.Answer(browser, c.button);
            });
        EXPECT_TRUE(opened);
        EXPECT_EQ(_wcsicmp(picked.c_str(), c.expected.c_str()), 0) << testing::PrintToString(picked);
    }
}

}  // namespace
