#include "messages.h"

#include "binding.h"
#include "text_utils.h"

namespace kavcmd {
namespace {

LateBound<decltype(::MessageBoxA)> messageBox{"user32.dll", "MessageBoxA"};

constexpr UINT kWarningStyle = MB_OK | MB_ICONHAND;          // 16
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;  // 52

}  // namespace

void ShowWarning(const std::wstring& message, HWND owner) {
    const std::string text = ToAnsi(message), title = ToAnsi(L"警告");
    messageBox(owner, text.c_str(), title.c_str(), kWarningStyle);
}

int16_t AskYesNo(const std::wstring& message, HWND owner) {
    const std::string text = ToAnsi(message), title = ToAnsi(L"注意");
    return static_cast<int16_t>(messageBox(owner, text.c_str(), title.c_str(), kQuestionStyle));
}

}  // namespace kavcmd
