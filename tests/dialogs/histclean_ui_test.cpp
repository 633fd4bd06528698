// histclean driven through its dialog as a user would: the row rule, the
// validation messages, the questions, what is and is not deleted, the
// stored settings, cancel and close box, the Open File dialog, layout.
#include "command_steps.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <array>

using namespace kavtest;

namespace {

const std::wstring kCaption = L"各種履歴･情報ファイル削除";
const std::wstring kSection = L"各種履歴情報ファイル削除";
const std::wstring kConfirmKey = L"確認メッセージ";
const std::array<std::wstring, 3> kRowKeys = {L"開く履歴ファイル", L"バインダー情報ファイル", L"図面属性情報ファイル"};
const std::array<std::wstring, 3> kRowCaptions = {L"ファイル「開く」履歴ファイル削除", L"バインダー属性情報ファイル削除",
                                                  L"図面属性情報ファイル削除"};
const std::array<std::wstring, 3> kEmptyMessages = {L"ファイル｢開く｣履歴ファイルを正しく入力して下さい。",
                                                    L"バインダー属性情報ファイルを正しく入力して下さい。",
                                                    L"図面属性情報ファイルを正しく入力して下さい。"};
const std::array<std::wstring, 3> kExtensionMessages = {L"ファイル｢開く｣履歴ファイルの拡張子は ｢INI｣ になります。",
                                                        L"バインダー属性情報ファイルの拡張子は ｢INI｣ になります。",
                                                        L"図面属性情報ファイルの拡張子は ｢INI｣ になります。"};

struct HistForm {
    HWND dialog, check1, command1, command2;
    std::array<HWND, 3> check2, text2, command4;
};

// Controls by kind and caption; the rows' edit boxes and browse buttons by
// their vertical order.
HistForm FindForm(UiDriver& ui) {
    HistForm f{};
    f.dialog = ui.WaitForWindow(kCaption);
    f.check1 = ui.Child(f.dialog, L"Button", L"確認メッセージ表示");
    f.command1 = ui.Child(f.dialog, L"Button", L"削除実行(&G)");
    f.command2 = ui.Child(f.dialog, L"Button", L"中止(&C)");
    for (int i = 0; i < 3; ++i) f.check2[i] = ui.Child(f.dialog, L"Button", kRowCaptions[i]);
    auto byTop = [](std::vector<HWND> v) {
        std::sort(v.begin(), v.end(), [](HWND a, HWND b) {
            RECT ra{}, rb{};
            ::GetWindowRect(a, &ra);
            ::GetWindowRect(b, &rb);
            return ra.top < rb.top;
        });
        return v;
    };
    const auto edits = byTop(ChildrenOfClass(f.dialog, L"Edit"));
    std::vector<HWND> browse;
    for (HWND b : ChildrenOfClass(f.dialog, L"Button"))
        if (ui.Text(b) == L"...") browse.push_back(b);
    browse = byTop(browse);
    if (edits.size() != 3 || browse.size() != 3) throw UiTimeout("the rows are incomplete");
    for (int i = 0; i < 3; ++i) {
        f.text2[i] = edits[i];
        f.command4[i] = browse[i];
    }
    return f;
}

class Histclean : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u) << "the tests need the Japanese ANSI code page";
        root_ = ProgramFolder();
        sysinfo_ = root_ + L"\\sysinfo";
        sysdata_ = root_ + L"\\sysdata";
        other_ = root_ + L"\\other";
        settings_ = sysinfo_ + L"\\qxSystem.ini";
        paths_ = {sysdata_ + L"\\FileOpenDlg.ini", sysinfo_ + L"\\BndAttrData.ini", sysinfo_ + L"\\DrwAttrData.ini"};
        for (const auto& d : {sysinfo_, sysdata_, other_}) RemoveTree(d);
        MakeFolder(sysinfo_);
        MakeFolder(sysdata_);
        MakeFolder(other_);
        for (const auto& p : paths_) WriteFile(p);
        WriteFile(sysinfo_ + L"\\Other.ini");
    }
    void TearDown() override {
        for (const auto& d : {sysinfo_, sysdata_, other_}) RemoveTree(d);
    }

    DialogRun Start(const std::function<void(UiDriver&)>& scenario) {
        const HRESULT prepared = kavcmd::PrepareCommandState();
        EXPECT_EQ(prepared, S_OK);
        if (FAILED(prepared)) return {};
        return RunDialog([] { return kavcmd::RunCommandDialog(nullptr); }, scenario);
    }
    void Store(const std::wstring& lines) { WriteSettingsFile(settings_, L"[" + kSection + L"]\r\n" + lines); }
    std::optional<std::wstring> Stored(const std::wstring& key) { return ReadSetting(settings_, kSection, key); }

    std::wstring root_, sysinfo_, sysdata_, other_, settings_;
    std::array<std::wstring, 3> paths_;
};

TEST_F(Histclean, OpensWithDefaultPathsAndTheRowRule) {
    Store(kConfirmKey + L"=0\r\n" + kRowKeys[1] + L"=0\r\n");
    std::array<std::wstring, 3> texts;
    std::array<int, 3> checks{};
    std::array<bool, 3> editEnabled{}, browseEnabled{};
    int confirm = -1;
    bool reEnabled = false, disabledAgain = true;
    std::wstring keptText;
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        for (int i = 0; i < 3; ++i) {
            texts[i] = ui.Text(f.text2[i]);
            checks[i] = ui.CheckState(f.check2[i]);
            editEnabled[i] = ::IsWindowEnabled(f.text2[i]);
            browseEnabled[i] = ::IsWindowEnabled(f.command4[i]);
        }
        confirm = ui.CheckState(f.check1);
        // Row rule on clicks; a disabled row keeps its text.
        ui.Click(f.check2[1]);
        ::Sleep(100);
        reEnabled = ::IsWindowEnabled(f.text2[1]) && ::IsWindowEnabled(f.command4[1]);
        ui.Click(f.check2[2]);
        ::Sleep(100);
        disabledAgain = ::IsWindowEnabled(f.text2[2]) || ::IsWindowEnabled(f.command4[2]);
        keptText = ui.Text(f.text2[2]);
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_EQ(texts, paths_);
    EXPECT_EQ(checks, (std::array<int, 3>{BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
    EXPECT_EQ(editEnabled, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(browseEnabled, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(confirm, BST_UNCHECKED);
    EXPECT_TRUE(reEnabled);
    EXPECT_FALSE(disabledAgain);
    EXPECT_EQ(keptText, paths_[2]);
    for (const auto& p : paths_) EXPECT_TRUE(FileExists(p));
    EXPECT_EQ(Stored(kRowKeys[1]), std::optional<std::wstring>(L"0")) << "cancel stores nothing";
    EXPECT_EQ(Stored(kRowKeys[2]), std::nullopt);
}

TEST_F(Histclean, OverflowingStoredRowFailsTheStart) {
    Store(kRowKeys[2] + L"=-32769\r\n");
    EXPECT_HRESULT_FAILED(kavcmd::PrepareCommandState());
    Store(kRowKeys[2] + L"=-32768.5\r\n");
    EXPECT_EQ(kavcmd::PrepareCommandState(), S_OK);
}

TEST_F(Histclean, AllRowsUncheckedDeletesNothingAndStoresTheBoxes) {
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        for (HWND c : f.check2) ui.Click(c);
        ui.SetText(f.text2[0], L"");  // an unchecked row is not tested
        ui.Click(f.command1);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    for (const auto& p : paths_) EXPECT_TRUE(FileExists(p));
    EXPECT_EQ(Stored(kConfirmKey), std::optional<std::wstring>(L"1"));
    for (const auto& k : kRowKeys) EXPECT_EQ(Stored(k), std::optional<std::wstring>(L"0"));
}

TEST_F(Histclean, AStopAtALaterRowKeepsEarlierDeletionsAndStoresNothing) {
    std::wstring question, warning, trimmed;
    bool stillOpen = false;
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.SetText(f.text2[1], L"    ");
        ui.Click(f.command1);
        question = ui.AnswerBox(L"注意", IDYES);
        warning = ui.AnswerBox(L"警告", IDOK);
        stillOpen = !ui.WaitGone(f.dialog, 300);
        trimmed = ui.Text(f.text2[1]);
        ui.CloseBox(f.dialog);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_EQ(question, L"｢" + paths_[0] + L"｣を削除します。よろしいですか？");
    EXPECT_EQ(warning, kEmptyMessages[1]);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(trimmed, L"");
    EXPECT_FALSE(FileExists(paths_[0]));
    EXPECT_TRUE(FileExists(paths_[1]));
    EXPECT_TRUE(FileExists(paths_[2]));
    EXPECT_FALSE(FileExists(settings_));
}

TEST_F(Histclean, EmptyAndExtensionMessagesPerRow) {
    std::vector<std::wstring> seen;
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.Click(f.check1);  // no questions
        for (int row = 0; row < 3; ++row) {
            for (int i = 0; i < 3; ++i) {
                if ((ui.CheckState(f.check2[i]) == BST_CHECKED) != (i == row)) ui.Click(f.check2[i]);
            }
            ui.SetText(f.text2[row], L"");
            ui.Click(f.command1);
            seen.push_back(ui.AnswerBox(L"警告", IDOK));
            ui.SetText(f.text2[row], L" " + other_ + L"\\a.txt ");
            ui.Click(f.command1);
            seen.push_back(ui.AnswerBox(L"警告", IDOK));
        }
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    ASSERT_EQ(seen.size(), 6u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(seen[2 * row], kEmptyMessages[row]);
        EXPECT_EQ(seen[2 * row + 1], kExtensionMessages[row]);
    }
    EXPECT_FALSE(FileExists(settings_));
}

TEST_F(Histclean, WildcardsAndLetterCaseInTheLastPart) {
    for (const wchar_t* name : {L"a.ini", L"b.INI", L"c.txt", L"d.inix", L"mini"}) WriteFile(other_ + L"\\" + name);
    MakeFolder(other_ + L"\\sub");
    WriteFile(other_ + L"\\sub\\e.ini");
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.Click(f.check1);
        ui.SetText(f.text2[0], L"  " + other_ + L"\\*.iNi  ");
        ui.SetText(f.text2[1], other_ + L"\\mini");
        ui.Click(f.check2[2]);
        ui.Click(f.command1);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(FileExists(other_ + L"\\a.ini"));
    EXPECT_FALSE(FileExists(other_ + L"\\b.INI"));
    EXPECT_FALSE(FileExists(other_ + L"\\mini"));
    for (const wchar_t* kept : {L"c.txt", L"d.inix", L"sub\\e.ini"}) EXPECT_TRUE(FileExists(other_ + L"\\" + kept));
    for (const auto& p : paths_) EXPECT_TRUE(FileExists(p));
    EXPECT_TRUE(FileExists(sysinfo_ + L"\\Other.ini"));
    EXPECT_EQ(Stored(kConfirmKey), std::optional<std::wstring>(L"0"));
    EXPECT_EQ(Stored(kRowKeys[0]), std::optional<std::wstring>(L"1"));
    EXPECT_EQ(Stored(kRowKeys[2]), std::optional<std::wstring>(L"0"));
}

TEST_F(Histclean, NoForEveryRowDeletesNothingButCompletesThePass) {
    std::vector<std::wstring> questions;
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.Click(f.command1);
        for (int i = 0; i < 3; ++i) questions.push_back(ui.AnswerBox(L"注意", IDNO));
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    ASSERT_EQ(questions.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(questions[i], L"｢" + paths_[i] + L"｣を削除します。よろしいですか？");
        EXPECT_TRUE(FileExists(paths_[i]));
    }
    EXPECT_EQ(Stored(kConfirmKey), std::optional<std::wstring>(L"1"));
    for (const auto& k : kRowKeys) EXPECT_EQ(Stored(k), std::optional<std::wstring>(L"1"));
}

TEST_F(Histclean, YesDeletesAllThreeAndEnterPressesDelete) {
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.PressEnter(f.text2[2]);
        for (int i = 0; i < 3; ++i) ui.AnswerBox(L"注意", IDYES);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    for (const auto& p : paths_) EXPECT_FALSE(FileExists(p));
    EXPECT_TRUE(FileExists(sysinfo_ + L"\\Other.ini"));
    EXPECT_TRUE(Stored(kConfirmKey).has_value());
}

TEST_F(Histclean, OpenFileDialogChoosesOrKeepsTheText) {
    // A folder with 0x5C and 0x7C second bytes in code page 932, and a
    // character that code page has not: the path comes back whole.
    MakeFolder(other_ + L"\\ソ表ポ");
    const std::wstring chosen = other_ + L"\\ソ表ポ\\Chosen한.ini";
    WriteFile(chosen);
    std::wstring afterCancel, afterOk, filter;
    bool readOnlyShown = true;
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        ui.Click(f.command4[1]);
        HWND open = ui.WaitForOwned(f.dialog);
        if (HWND types = ::GetDlgItem(open, 0x470 /* cmb1 */)) filter = ui.Text(types);
        HWND readOnly = ::GetDlgItem(open, 0x410 /* chx1 */);
        readOnlyShown = readOnly && ::IsWindowVisible(readOnly);
        ui.Answer(open, IDCANCEL);
        ui.WaitGone(open);
        afterCancel = ui.Text(f.text2[1]);

        ui.Click(f.command4[1]);
        open = ui.WaitForOwned(f.dialog);
        HWND name = ::GetDlgItem(open, 0x47c /* cmb13 */);
        if (!name) throw UiTimeout("no file name box");
        ui.SetText(name, chosen);
        ui.Answer(open, IDOK);
        ui.WaitGone(open);
        ::Sleep(100);
        afterOk = ui.Text(f.text2[1]);
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(afterCancel, paths_[1]);
    EXPECT_EQ(_wcsicmp(afterOk.c_str(), chosen.c_str()), 0) << testing::PrintToString(afterOk);
    EXPECT_EQ(filter, L"設定ファイル (*.ini)");
    EXPECT_FALSE(readOnlyShown);
    EXPECT_TRUE(FileExists(chosen));
}

TEST_F(Histclean, LayoutFontFocusAndTabOrder) {
    struct Expected {
        HWND HistForm::*single;
        std::array<HWND, 3> HistForm::*row;
        int index, left, top, width, height;
    } table[] = {
        {nullptr, &HistForm::check2, 0, 240, 120, 2655, 255},    {nullptr, &HistForm::text2, 0, 240, 480, 7335, 330},
        {nullptr, &HistForm::command4, 0, 7680, 480, 375, 330},  {nullptr, &HistForm::check2, 1, 240, 1080, 2775, 255},
        {nullptr, &HistForm::text2, 1, 240, 1440, 7335, 330},    {nullptr, &HistForm::command4, 1, 7680, 1440, 375, 330},
        {nullptr, &HistForm::check2, 2, 240, 2040, 2295, 255},   {nullptr, &HistForm::text2, 2, 240, 2400, 7335, 330},
        {nullptr, &HistForm::command4, 2, 7680, 2400, 375, 330}, {&HistForm::check1, nullptr, 0, 1440, 2940, 1815, 255},
        {&HistForm::command1, nullptr, 0, 4080, 2880, 1695, 375}, {&HistForm::command2, nullptr, 0, 5880, 2880, 1695, 375},
    };
    const DialogRun run = Start([&](UiDriver& ui) {
        HistForm f = FindForm(ui);
        RECT client{};
        ::GetClientRect(f.dialog, &client);
        EXPECT_EQ(client.right, PixelsX(8295));
        EXPECT_EQ(client.bottom, PixelsY(3450));
        for (const Expected& e : table) {
            HWND w = e.single ? f.*e.single : (f.*e.row)[e.index];
            RECT r{};
            ::GetWindowRect(w, &r);
            ::MapWindowPoints(nullptr, f.dialog, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, PixelsX(e.left)) << e.left;
            EXPECT_EQ(r.top, PixelsY(e.top)) << e.top;
            EXPECT_EQ(r.right - r.left, PixelsX(e.width)) << e.width;
            EXPECT_EQ(r.bottom - r.top, PixelsY(e.height)) << e.height;
            LOGFONTW lf{};
            ::GetObjectW(reinterpret_cast<HFONT>(ui.Send(w, WM_GETFONT)), sizeof lf, &lf);
            EXPECT_STREQ(lf.lfFaceName, L"Meiryo UI");
            EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
        }
        EXPECT_NE(ui.Send(f.dialog, WM_GETICON, ICON_BIG), 0);
        EXPECT_EQ(LOWORD(ui.Send(f.dialog, DM_GETDEFID)), ::GetDlgCtrlID(f.command1));
        EXPECT_EQ(ui.Focus(), f.check1);
        const HWND order[] = {f.check1,    f.command2,  f.command1,  f.check2[0],  f.text2[0],   f.check2[1],  f.check2[2],
                              f.text2[1],  f.text2[2],  f.command4[0], f.command4[1], f.command4[2], f.check1};
        for (size_t i = 0; i + 1 < std::size(order); ++i) {
            EXPECT_EQ(::GetNextDlgTabItem(f.dialog, order[i], FALSE), order[i + 1]) << "tab step " << i;
        }
        ui.AltKey(f.check1, L'c');
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(FileExists(settings_));
}

}  // namespace
