#include "csbclean_form.h"

#include "kav/ignored.h"
#include "file_deletion.h"
#include "folder_picker.h"
#include "messages.h"
#include "settings.h"
#include "text_utils.h"

namespace kavcmd {

CsbcleanState& Csbclean() {
    thread_local CsbcleanState state;
    return state;
}

namespace {

FormDef Definition() {
    using K = ControlKind;
    using F = CsbcleanForm;
    return FormDef{
        L"コマンドサブボックス履歴の削除",
        8550,
        1125,
        {
            // in tab order
            {F::kCommand1, K::DefaultButton, L"削除実行(&G)", 4320, 600, 1695, 375},
            {F::kCommand2, K::Button, L"中止(&C)", 6120, 600, 1695, 375},
            {F::kText1, K::Edit, L"", 1680, 120, 6135, 330},
            {F::kCommand3, K::Button, L"...", 7920, 120, 375, 330},
            {F::kLabel1, K::Label, L"CSB履歴フォルダ", 240, 180, 1245, 225},
            {F::kCheck1, K::CheckBox, L"確認メッセージ表示", 1680, 660, 1815, 255},
        },
    };
}

}  // namespace

CsbcleanForm::CsbcleanForm() : Form(Definition()) {}

void CsbcleanForm::OnLoad() {
    CentreOnScreen();
    SetText(kText1, Csbclean().csbFolder);
    SetCheckState(kCheck1, Csbclean().confirmFlag == 0 ? BST_UNCHECKED : BST_CHECKED);
}

void CsbcleanForm::OnClick(int id) {
    switch (id) {
    case kCommand1: Delete(); break;
    case kCommand2: Close(); break;
    case kCommand3: Browse(); break;
    default: break;
    }
}

void CsbcleanForm::Delete() {
    const std::wstring t = TrimSpaces(Text(kText1));
    SetText(kText1, t);
    if (t.empty()) {
        ShowWarning(L"CSB履歴フォルダを入力して下さい。", Window());
        return;
    }
    if (CharacterCount(t) < 4) {
        ShowWarning(L"｢" + t + L"｣ は削除できません。", Window());
        return;
    }
    if (!EndsWithUpper(t, L"CSB")) {
        ShowWarning(L"CSB履歴のカレントフォルダは必ず ｢CSB｣ になります。", Window());
        return;
    }
    if (CheckState(kCheck1) == BST_CHECKED) {
        if (AskYesNo(L"｢" + t + L"｣内のファイルを削除します。よろしいですか？", Window()) != IDYES) return;
    }
    // From here on errors are ignored and the next step still runs.
    kav::IgnoringFailure("csbclean deletion", [&] { DeleteFilesInFolder(t); });
    kav::IgnoringFailure("csbclean settings", [&] {
        PutIniString(Folders().settingsFile, kCsbcleanSection, kConfirmKey, NumToText(CheckState(kCheck1)));
    });
    Close();
}

void CsbcleanForm::Browse() {
    const std::wstring title =
        L"CSB履歴が保存されているフォルダを選択します。\r\n\r\n目的のフォルダー名をクリックして、ＯＫボタンを押して下さい。";
    const std::wstring path = PickFolder(Window(), title, Text(kText1));
    if (!path.empty()) SetText(kText1, path);
}

}  // namespace kavcmd
