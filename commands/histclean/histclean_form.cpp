#include "histclean_form.h"

#include "kav/ignored.h"
#include "binding.h"
#include "file_deletion.h"
#include "messages.h"
#include "settings.h"
#include "text_utils.h"

#include <commdlg.h>

#include <vector>

namespace kavcmd {

HistcleanState& Histclean() {
    thread_local HistcleanState state;
    return state;
}

namespace {

LateBound<decltype(::GetOpenFileNameW)> getOpenFileName{"comdlg32.dll", "GetOpenFileNameW"};

// The file name buffer of the Open File dialog, in characters.
constexpr size_t kFileBuffer = 1024;

constexpr const wchar_t* kEmptyPathMessages[kRows] = {
    L"ファイル｢開く｣履歴ファイルを正しく入力して下さい。",
    L"バインダー属性情報ファイルを正しく入力して下さい。",
    L"図面属性情報ファイルを正しく入力して下さい。",
};
constexpr const wchar_t* kExtensionMessages[kRows] = {
    L"ファイル｢開く｣履歴ファイルの拡張子は ｢INI｣ になります。",
    L"バインダー属性情報ファイルの拡張子は ｢INI｣ になります。",
    L"図面属性情報ファイルの拡張子は ｢INI｣ になります。",
};

FormDef Definition() {
    using K = ControlKind;
    using F = HistcleanForm;
    return FormDef{
        L"各種履歴･情報ファイル削除",
        8295,
        3450,
        {
            // in tab order
            {F::kCheck1, K::CheckBox, L"確認メッセージ表示", 1440, 2940, 1815, 255},
            {F::kCommand2, K::Button, L"中止(&C)", 5880, 2880, 1695, 375},
            {F::kCommand1, K::DefaultButton, L"削除実行(&G)", 4080, 2880, 1695, 375},
            {F::kCheck2 + 0, K::CheckBox, L"ファイル「開く」履歴ファイル削除", 240, 120, 2655, 255},
            {F::kText2 + 0, K::Edit, L"", 240, 480, 7335, 330},
            {F::kCheck2 + 1, K::CheckBox, L"バインダー属性情報ファイル削除", 240, 1080, 2775, 255},
            {F::kCheck2 + 2, K::CheckBox, L"図面属性情報ファイル削除", 240, 2040, 2295, 255},
            {F::kText2 + 1, K::Edit, L"", 240, 1440, 7335, 330},
            {F::kText2 + 2, K::Edit, L"", 240, 2400, 7335, 330},
            {F::kCommand4 + 0, K::Button, L"...", 7680, 480, 375, 330},
            {F::kCommand4 + 1, K::Button, L"...", 7680, 1440, 375, 330},
            {F::kCommand4 + 2, K::Button, L"...", 7680, 2400, 375, 330},
        },
    };
}

// "a|b|c|" -> "a\0b\0c\0\0".
std::wstring FilterText(std::wstring_view filter) {
    std::wstring out;
    size_t start = 0;
    while (start < filter.size()) {
        size_t bar = filter.find(L'|', start);
        if (bar == std::wstring_view::npos) bar = filter.size();
        out += filter.substr(start, bar - start);
        out.push_back(L'\0');
        start = bar + 1;
    }
    out.push_back(L'\0');
    return out;
}

}  // namespace

std::wstring BrowseIniFile(HWND owner, const std::wstring& preset) {
    const std::wstring filter = FilterText(L"設定ファイル (*.ini)|*.ini|");
    std::vector<wchar_t> file(preset.size() + 1 < kFileBuffer ? kFileBuffer : preset.size() + 1, L'\0');
    std::copy(preset.begin(), preset.end(), file.begin());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.Flags = OFN_HIDEREADONLY;
    if (!getOpenFileName(&ofn)) return preset;  // cancel or failure
    return CutAtNul(std::wstring_view(file.data(), file.size()));
}

HistcleanForm::HistcleanForm() : Form(Definition()) {}

void HistcleanForm::OnLoad() {
    CentreOnScreen();
    const HistcleanState& state = Histclean();
    for (int i = 0; i < kRows; ++i) SetText(kText2 + i, state.paths[i]);
    for (int i = 0; i < kRows; ++i) SetCheckState(kCheck2 + i, state.rowFlags[i] == 0 ? BST_UNCHECKED : BST_CHECKED);
    SetCheckState(kCheck1, state.confirmFlag == 0 ? BST_UNCHECKED : BST_CHECKED);
    for (int i = 0; i < kRows; ++i) ApplyRowRule(i);
}

void HistcleanForm::OnClick(int id) {
    if (id == kCommand1) return Delete();
    if (id == kCommand2) return Close();
    if (id >= kCheck2 && id < kCheck2 + kRows) return ApplyRowRule(id - kCheck2);
    if (id >= kCommand4 && id < kCommand4 + kRows) return Browse(id - kCommand4);
}

void HistcleanForm::ApplyRowRule(int row) {
    const bool checked = CheckState(kCheck2 + row) == BST_CHECKED;
    SetEnabled(kText2 + row, checked);
    SetEnabled(kCommand4 + row, checked);
}

void HistcleanForm::Delete() {
    for (int i = 0; i < kRows; ++i) {
        if (CheckState(kCheck2 + i) != BST_CHECKED) continue;
        const std::wstring t = TrimSpaces(Text(kText2 + i));
        SetText(kText2 + i, t);
        if (t.empty()) {
            kav::IgnoringFailure("histclean warning", [&] { ShowWarning(kEmptyPathMessages[i], Window()); });
            return;
        }
        if (!EndsWithUpper(t, L"INI")) {
            kav::IgnoringFailure("histclean warning", [&] { ShowWarning(kExtensionMessages[i], Window()); });
            return;
        }
        bool remove = true;
        if (CheckState(kCheck1) == BST_CHECKED) {
            try {
                remove = AskYesNo(L"｢" + t + L"｣を削除します。よろしいですか？", Window()) == IDYES;
            } catch (...) {
                kav::ReportIgnoredException("histclean question");
                remove = false;  // no answer is no consent
            }
        }
        if (remove) {
            kav::IgnoringFailure("histclean deletion", [&] { DeleteMatchingFiles(t); });
        }
    }
    const std::wstring& file = Folders().settingsFile;
    kav::IgnoringFailure("histclean settings", [&] {
        PutIniString(file, kHistcleanSection, kHistConfirmKey, NumToText(CheckState(kCheck1)));
    });
    for (int i = 0; i < kRows; ++i) {
        kav::IgnoringFailure("histclean settings", [&] {
            PutIniString(file, kHistcleanSection, kRowKeys[i], NumToText(CheckState(kCheck2 + i)));
        });
    }
    Close();
}

void HistcleanForm::Browse(int row) {
    std::wstring chosen = Text(kText2 + row);
    try {
        chosen = BrowseIniFile(Window(), chosen);
    } catch (...) {
        kav::ReportIgnoredException("histclean browse");  // the text stays
    }
    SetText(kText2 + row, chosen);
}

}  // namespace kavcmd
