// csbcleanForm: empties the CSB history folder.
#pragma once
#include "form.h"

#include <cstdint>
#include <string>

namespace kavcmd {

// Command state of this thread, set by the start steps.
struct CsbcleanState {
    std::wstring csbFolder;   // offered when the dialog opens; never stored
    int16_t confirmFlag = 1;  // stored state of the confirmation check box
};
CsbcleanState& Csbclean();

inline constexpr wchar_t kCsbcleanSection[] = L"CSB履歴フォルダ削除";
inline constexpr wchar_t kConfirmKey[] = L"確認メッセージ";

class CsbcleanForm : public Form {
public:
    CsbcleanForm();

    enum : int { kLabel1 = 1001, kText1, kCommand3, kCheck1, kCommand1, kCommand2 };

private:
    void OnLoad() override;
    void OnClick(int id) override;
    void Delete();
    void Browse();
};

}  // namespace kavcmd
