// Warnings and questions: the only two kinds of message box the commands show.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

namespace kavcmd {

// Title "警告", OK only, stop icon; returns when dismissed.
void ShowWarning(const std::wstring& message, HWND owner = nullptr);
// Title "注意", Yes and No (Yes default), exclamation icon; IDYES (6) or IDNO (7).
int16_t AskYesNo(const std::wstring& message, HWND owner = nullptr);

}  // namespace kavcmd
