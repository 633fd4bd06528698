// Binding a command to its host window, ending it, and the string helper.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

void KAVAPI InitVBCmdLib(HWND hostWindow, int32_t /*cmdLine: accepted, not used*/) {
    kav::block::setHostWindow(hostWindow);
}

int32_t KAVAPI VokExitCommand() {
    return static_cast<int32_t>(kav::SendExitCommand());
}

int32_t KAVAPI CopyStringToBStr(BSTR* stringVar, const char* text) {
    return kav::putText(stringVar, text, kav::kPayloadSize) ? 1 : 0;
}
