#include "messages.h"

#include "binding.h"

namespace kavcmd {
namespace {

LateBound<decltype(::MessageBoxW)> messageBox{"user32.dll", "MessageBoxW"};

constexpr UINT kWarningStyle = MB_OK | MB_ICONHAND;          // 16
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;  // 52

}  // namespace

void ShowWarning(const std::wstring& message, HWND owner) {
    messageBox(owner, message.c_str(), L"警告", kWarningStyle);
}

int16_t AskYesNo(const std::wstring& message, HWND owner) {
    return static_cast<int16_t>(messageBox(owner, message.c_str(), L"注意", kQuestionStyle));
}

}  // namespace kavcmd
