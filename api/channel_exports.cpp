// Binding a command to its host window, ending it, and the string helper.
#include "kavlink.h"
#include "record/recorder.h"
#include "request.h"
#include "strings.h"

// The command-line number goes nowhere but into a field recording's first line.
void KAVAPI InitVBCmdLib(HWND hostWindow, int32_t cmdLine) {
    kav::block::setHostWindow(hostWindow);
    kav::record::beginRun(cmdLine);
}

int32_t KAVAPI VokExitCommand() {
    return static_cast<int32_t>(kav::SendExitCommand());
}

int32_t KAVAPI CopyStringToBStr(BSTR* stringVar, const char* text) {
    return kav::putText(stringVar, text, kav::kPayloadSize) ? 1 : 0;
}
