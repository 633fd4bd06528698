// csbclean driven through its dialog as a user would: validation messages
// and their order, the question, what is and is not deleted, the stored
// confirmation setting, cancel and close box, browse, layout.
#include "command_steps.h"
#include "kav/handles.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kavtest;

namespace {

const std::wstring kCaption = L"コマンドサブボックス履歴の削除";
const std::wstring kSection = L"CSB履歴フォルダ削除";
const std::wstring kKey = L"確認メッセージ";

struct CsbForm {
    HWND dialog, label1, text1, command3, check1, command1, command2;
};

CsbForm FindForm(UiDriver& ui) {
    CsbForm f{};
    f.dialog = ui.WaitForWindow(kCaption);
    f.label1 = ui.Child(f.dialog, L"Static", L"CSB履歴フォルダ");
    f.text1 = ChildrenOfClass(f.dialog, L"Edit").at(0);
    f.command3 = ui.Child(f.dialog, L"Button", L"...");
    f.check1 = ui.Child(f.dialog, L"Button", L"確認メッセージ表示");
    f.command1 = ui.Child(f.dialog, L"Button", L"削除実行(&G)");
    f.command2 = ui.Child(f.dialog, L"Button", L"中止(&C)");
    return f;
}

class Csbclean : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 932u) << "the tests need the Japanese ANSI code page";
        root_ = ProgramFolder();
        sysinfo_ = root_ + L"\\sysinfo";
        csb_ = sysinfo_ + L"\\CSB";
        other_ = root_ + L"\\other";
        settings_ = sysinfo_ + L"\\qxSystem.ini";
        RemoveTree(sysinfo_);
        RemoveTree(other_);
        MakeFolder(csb_ + L"\\sub");
        for (const wchar_t* name : {L"h1.csb", L"h2.dat", L"noext"}) WriteFile(csb_ + L"\\" + name);
        WriteFile(csb_ + L"\\sub\\keep.csb");
        WriteFile(sysinfo_ + L"\\beside.ini");
    }
    void TearDown() override {
        RemoveTree(sysinfo_);
        RemoveTree(other_);
    }

    // One start: the state, then the dialog driven by `scenario`.
    DialogRun Start(const std::function<void(UiDriver&)>& scenario) {
        const HRESULT prepared = kavcmd::PrepareCommandState();
        EXPECT_EQ(prepared, S_OK);
        if (FAILED(prepared)) return {};
        return RunDialog([] { return kavcmd::RunCommandDialog(nullptr); }, scenario);
    }
    void ExpectHistoryUntouched() {
        for (const wchar_t* name : {L"h1.csb", L"h2.dat", L"noext", L"sub\\keep.csb"})
            EXPECT_TRUE(FileExists(csb_ + L"\\" + name)) << testing::PrintToString(std::wstring(name));
    }
    std::optional<std::wstring> Stored() { return ReadSetting(settings_, kSection, kKey); }

    std::wstring root_, sysinfo_, csb_, other_, settings_;
};

TEST_F(Csbclean, OpensWithTheDefaultFolderAndTheStoredConfirmation) {
    struct Case {
        const wchar_t* stored;  // null: no settings file
        int expectedCheck;
    } cases[] = {{nullptr, BST_CHECKED}, {L"0", BST_UNCHECKED}, {L"1", BST_CHECKED}, {L" 0.5 ", BST_UNCHECKED},
                 {L"1.5", BST_CHECKED}, {L"", BST_CHECKED}};
    for (const Case& c : cases) {
        RemoveTree(settings_);
        if (c.stored) WriteSettingsFile(settings_, L"[" + kSection + L"]\r\n" + kKey + L"=" + c.stored + L"\r\n");
        std::wstring text;
        int check = -1;
        const DialogRun run = Start([&](UiDriver& ui) {
            CsbForm f = FindForm(ui);
            text = ui.Text(f.text1);
            check = ui.CheckState(f.check1);
            ui.Click(f.command2);
            ui.WaitGone(f.dialog);
        });
        EXPECT_EQ(run.hr, S_OK);
        EXPECT_EQ(text, csb_);
        EXPECT_EQ(check, c.expectedCheck) << testing::PrintToString(std::wstring(c.stored ? c.stored : L"(none)"));
    }
    ExpectHistoryUntouched();
}

TEST_F(Csbclean, OverflowingStoredValueFailsTheStart) {
    for (const wchar_t* stored : {L"32768", L"-40000", L"1e10"}) {
        WriteSettingsFile(settings_, L"[" + kSection + L"]\r\n" + kKey + L"=" + stored + L"\r\n");
        EXPECT_HRESULT_FAILED(kavcmd::PrepareCommandState()) << testing::PrintToString(std::wstring(stored));
    }
}

TEST_F(Csbclean, ValidationMessagesComeInOrderAndKeepTheDialogOpen) {
    struct Case {
        std::wstring typed, message, trimmed;
    } cases[] = {
        {L"", L"CSB履歴フォルダを入力して下さい。", L""},
        {L"     ", L"CSB履歴フォルダを入力して下さい。", L""},
        {L"CSB", L"｢CSB｣ は削除できません。", L"CSB"},
        {L"  ab ", L"｢ab｣ は削除できません。", L"ab"},
        {L"履歴", L"｢履歴｣ は削除できません。", L"履歴"},
        {L"\U0001F600SB", L"｢\U0001F600SB｣ は削除できません。", L"\U0001F600SB"},  // 3 characters, 4 UTF-16 units
        {L"D:\\表ｃｓｂ", L"CSB履歴のカレントフォルダは必ず ｢CSB｣ になります。", L"D:\\表ｃｓｂ"},  // full-width letters are not CSB
        {csb_ + L"\\", L"CSB履歴のカレントフォルダは必ず ｢CSB｣ になります。", csb_ + L"\\"},
        {L"  " + sysinfo_ + L"  ", L"CSB履歴のカレントフォルダは必ず ｢CSB｣ になります。", sysinfo_},
    };
    std::vector<std::wstring> seen, after;
    std::wstring question;
    bool openAfterNo = false;
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        for (const Case& c : cases) {
            ui.SetText(f.text1, c.typed);
            ui.Click(f.command1);
            seen.push_back(ui.AnswerBox(L"警告", IDOK));
            after.push_back(ui.Text(f.text1));
        }
        // A valid folder with the question answered No: nothing happens.
        ui.SetText(f.text1, L" " + csb_ + L" ");
        ui.Click(f.command1);
        question = ui.AnswerBox(L"注意", IDNO);
        openAfterNo = !ui.WaitGone(f.dialog, 300);
        ui.CloseBox(f.dialog);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], cases[i].message) << "case " << i;
        EXPECT_EQ(after[i], cases[i].trimmed) << "case " << i;
    }
    EXPECT_EQ(question, L"｢" + csb_ + L"｣内のファイルを削除します。よろしいですか？");
    EXPECT_TRUE(openAfterNo);
    ExpectHistoryUntouched();
    EXPECT_FALSE(FileExists(settings_)) << "nothing is stored without a delete pass";
}

TEST_F(Csbclean, YesDeletesOnlyTheFilesDirectlyInTheFolder) {
    WriteSettingsFile(settings_, L"[" + kSection + L"]\r\n" + kKey + L"=1\r\n");
    std::wstring question;
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.Click(f.command1);
        question = ui.AnswerBox(L"注意", IDYES);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_EQ(question, L"｢" + csb_ + L"｣内のファイルを削除します。よろしいですか？");
    for (const wchar_t* name : {L"h1.csb", L"h2.dat", L"noext"}) EXPECT_FALSE(FileExists(csb_ + L"\\" + name));
    EXPECT_TRUE(FileExists(csb_ + L"\\sub\\keep.csb"));
    EXPECT_TRUE(FileExists(csb_));
    EXPECT_TRUE(FileExists(sysinfo_ + L"\\beside.ini"));
    EXPECT_EQ(Stored(), std::optional<std::wstring>(L"1"));
}

TEST_F(Csbclean, UncheckedConfirmationDeletesAtOnceOnEnter) {
    const std::wstring old = other_ + L"\\OldCsb";
    MakeFolder(old);
    WriteFile(old + L"\\x.dat");
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.Click(f.check1);  // the user unticks the question
        ui.SetText(f.text1, L"  " + old + L"  ");
        ui.PressEnter(f.text1);  // Enter in the edit box presses the default button
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_FALSE(FileExists(old + L"\\x.dat"));
    EXPECT_TRUE(FileExists(old));
    ExpectHistoryUntouched();
    EXPECT_EQ(Stored(), std::optional<std::wstring>(L"0"));
}

TEST_F(Csbclean, MissingFolderOrUnwritableSettingsGiveNoMessage) {
    // A folder that passes the tests but does not exist: the setting is
    // written and the dialog closes.
    DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.SetText(f.text1, root_ + L"\\NoSuchCSB");
        ui.Click(f.command1);
        ui.AnswerBox(L"注意", IDYES);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_EQ(Stored(), std::optional<std::wstring>(L"1"));

    // No sysinfo folder at all: nothing can be stored, nothing is said.
    RemoveTree(sysinfo_);
    const std::wstring old = other_ + L"\\xcsb";
    MakeFolder(old);
    WriteFile(old + L"\\y.dat");
    run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.SetText(f.text1, old);
        ui.Click(f.check1);
        ui.Click(f.command1);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
        EXPECT_TRUE(ui.StaysAbsent(L"警告", 200));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(FileExists(old + L"\\y.dat"));
    EXPECT_FALSE(FileExists(sysinfo_));
}

TEST_F(Csbclean, WildcardsInTheFolderDeleteNothing) {
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.SetText(f.text1, sysinfo_ + L"\\*CSB");
        ui.Click(f.check1);
        ui.Click(f.command1);
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    ExpectHistoryUntouched();
}

TEST_F(Csbclean, AccessKeysAndCloseBoxStoreNothing) {
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.Click(f.check1);  // changed, then cancelled: forgotten
        ui.SetText(f.text1, L"");
        ui.AltKey(f.command2, L'g');
        EXPECT_EQ(ui.AnswerBox(L"警告", IDOK), L"CSB履歴フォルダを入力して下さい。");
        ui.AltKey(f.command1, L'c');
        EXPECT_TRUE(ui.WaitGone(f.dialog));
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_FALSE(FileExists(settings_));
    ExpectHistoryUntouched();
}

TEST_F(Csbclean, EveryStartOffersTheDefaultFolderAgain) {
    const std::wstring old = other_ + L"\\AnotherCSB";
    MakeFolder(old);
    std::wstring second;
    Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.SetText(f.text1, old);
        ui.Click(f.command1);
        ui.AnswerBox(L"注意", IDYES);
        ui.WaitGone(f.dialog);
    });
    Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        second = ui.Text(f.text1);
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(second, csb_);
}

// Under load: busy threads beside the dialog, for as long as the test runs.
// The browser still opens at the box's folder (its edit box names it) and
// OK puts that folder in the box; Cancel keeps the text.
TEST_F(Csbclean, BrowseButtonPicksAFolderOrKeepsTheTextUnderLoad) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring name = std::wstring(windows).substr(std::wstring(windows).find_last_of(L'\\') + 1);
    std::wstring afterCancel, shown, afterOk;
    const CpuLoad load(2);
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        ui.SetText(f.text1, L"  keep me ");
        ui.Click(f.command3);
        HWND cancelled = ui.WaitForOwned(f.dialog);
        ui.Answer(cancelled, IDCANCEL);
        if (!ui.WaitGone(cancelled)) throw UiTimeout("the cancelled browser did not close");
        afterCancel = ui.Text(f.text1);
        ui.SetText(f.text1, windows);
        ui.Click(f.command3);
        HWND browser = ui.WaitForOwned(f.dialog);
        const std::vector<HWND> edits = ChildrenOfClass(browser, L"Edit");
        if (!edits.empty()) shown = ui.Text(edits.front());
        ui.Answer(browser, IDOK);
        if (!ui.WaitGone(browser)) throw UiTimeout("the browser did not close");
        afterOk = ui.Text(f.text1);
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(afterCancel, L"  keep me ");
    EXPECT_EQ(_wcsicmp(shown.c_str(), name.c_str()), 0) << "the browser opened at " << testing::PrintToString(shown);
    EXPECT_EQ(_wcsicmp(afterOk.c_str(), windows), 0) << testing::PrintToString(afterOk);
}

TEST_F(Csbclean, LayoutFontIconFocusAndTabOrder) {
    struct Expected {
        HWND CsbForm::*control;
        int left, top, width, height;
    } table[] = {
        {&CsbForm::label1, 240, 180, 1245, 225},   {&CsbForm::text1, 1680, 120, 6135, 330},
        {&CsbForm::command3, 7920, 120, 375, 330}, {&CsbForm::check1, 1680, 660, 1815, 255},
        {&CsbForm::command1, 4320, 600, 1695, 375}, {&CsbForm::command2, 6120, 600, 1695, 375},
    };
    const DialogRun run = Start([&](UiDriver& ui) {
        CsbForm f = FindForm(ui);
        RECT client{}, outer{};
        ::GetClientRect(f.dialog, &client);
        ::GetWindowRect(f.dialog, &outer);
        EXPECT_EQ(client.right, PixelsX(8550));
        EXPECT_EQ(client.bottom, PixelsY(1125));
        for (const Expected& e : table) {
            RECT r{};
            ::GetWindowRect(f.*e.control, &r);
            ::MapWindowPoints(nullptr, f.dialog, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, PixelsX(e.left));
            EXPECT_EQ(r.top, PixelsY(e.top));
            EXPECT_EQ(r.right - r.left, PixelsX(e.width));
            EXPECT_EQ(r.bottom - r.top, PixelsY(e.height));
        }
        // Centred by the integer rule in twips.
        const double tppX = 1440.0 / DisplayDpiX(), tppY = 1440.0 / DisplayDpiY();
        const long dx = std::lround((::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) * tppX) / 2;
        const long dy = std::lround((::GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) * tppY) / 2;
        EXPECT_EQ(outer.left, std::lround(dx / tppX));
        EXPECT_EQ(outer.top, std::lround(dy / tppY));

        for (HWND w : {f.dialog, f.label1, f.text1, f.command3, f.check1, f.command1, f.command2}) {
            LOGFONTW lf{};
            HFONT font = reinterpret_cast<HFONT>(ui.Send(w, WM_GETFONT));
            ASSERT_NE(font, nullptr);
            ASSERT_NE(::GetObjectW(font, sizeof lf, &lf), 0);
            EXPECT_STREQ(lf.lfFaceName, L"Meiryo UI");
            EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
            EXPECT_EQ(lf.lfHeight, -::MulDiv(9, DisplayDpiY(), 72));
            EXPECT_EQ(lf.lfWeight, FW_NORMAL);
            EXPECT_FALSE(lf.lfItalic);
        }
        HICON icon = reinterpret_cast<HICON>(ui.Send(f.dialog, WM_GETICON, ICON_BIG));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        const kav::UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
        BITMAP bm{};
        ::GetObjectW(color.get(), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 32);
        EXPECT_EQ(bm.bmHeight, 32);

        // Kinds, default button, focus and tab order.
        EXPECT_EQ(::GetWindowLongW(f.check1, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
        EXPECT_EQ(::GetWindowLongW(f.command3, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
        EXPECT_EQ(::GetWindowLongW(f.text1, GWL_STYLE) & ES_MULTILINE, 0);
        const LRESULT def = ui.Send(f.dialog, DM_GETDEFID);
        EXPECT_EQ(HIWORD(def), DC_HASDEFID);
        EXPECT_EQ(LOWORD(def), ::GetDlgCtrlID(f.command1));
        EXPECT_EQ(ui.Focus(), f.command1);
        const HWND order[] = {f.command1, f.command2, f.text1, f.command3, f.check1, f.command1};
        for (size_t i = 0; i + 1 < std::size(order); ++i) {
            EXPECT_EQ(::GetNextDlgTabItem(f.dialog, order[i], FALSE), order[i + 1]) << "tab step " << i;
        }
        ui.Click(f.command2);
        ui.WaitGone(f.dialog);
    });
    EXPECT_EQ(run.hr, S_OK);
}

}  // namespace
