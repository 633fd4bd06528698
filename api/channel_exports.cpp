// Binding a command to its host window, ending it, and the string helper.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

void KAVAPI InitVBCmdLib(HWND hostWindow, int32_t /*cmdLine: accepted, not used*/) try {
    kav::block::setHostWindow(hostWindow);
} catch (...) {
}

int32_t KAVAPI VokExitCommand() try {
    return static_cast<int32_t>(kav::SendExitCommand());
} KAV_GUARD

int32_t KAVAPI CopyStringToBStr(BSTR* stringVar, const char* text) try {
    return kav::putText(stringVar, text, kav::kPayloadSize) ? 1 : 0;
} KAV_GUARD
