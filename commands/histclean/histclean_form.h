// histcleanForm: one row per file it can delete: the "open" history, the
// binders' attributes and the drawings' attributes.
#pragma once
#include "form.h"

#include <array>
#include <cstdint>
#include <string>

namespace kavcmd {

inline constexpr int kRows = 3;

// Command state of this thread, set by the start steps.
struct HistcleanState {
    std::array<std::wstring, kRows> paths;  // openHistoryFile, binderAttrFile, drawingAttrFile; never stored
    int16_t confirmFlag = 1;
    std::array<int16_t, kRows> rowFlags{1, 1, 1};
};
HistcleanState& Histclean();

inline constexpr wchar_t kHistcleanSection[] = L"各種履歴情報ファイル削除";
inline constexpr wchar_t kHistConfirmKey[] = L"確認メッセージ";
inline constexpr const wchar_t* kRowKeys[kRows] = {L"開く履歴ファイル", L"バインダー情報ファイル", L"図面属性情報ファイル"};

class HistcleanForm : public Form {
public:
    HistcleanForm();

    enum : int { kCheck1 = 1001, kCommand1, kCommand2 };
    // Row i: check box kCheck2 + i, edit box kText2 + i, browse button kCommand4 + i.
    enum : int { kCheck2 = 1010, kText2 = 1020, kCommand4 = 1030 };

private:
    void OnLoad() override;
    void OnClick(int id) override;
    void ApplyRowRule(int row);
    void Delete();
    void Browse(int row);
};

// The platform's Open File dialog for an INI file, preset to `preset`; the
// chosen path after OK, `preset` unchanged after cancel or a failure.
std::wstring BrowseIniFile(HWND owner, const std::wstring& preset);

}  // namespace kavcmd
