// The folder picker of csbclean: the platform's folder browser, opened with
// a given folder selected.
#pragma once
#include <windows.h>
#include <string>

namespace kavcmd {

// The folder the user picked, or the empty text after cancel or for a folder
// without a file-system path.
std::wstring PickFolder(HWND owner, const std::wstring& title, const std::wstring& initialPath);

// The browser's callback: selects the initial folder (`data` points to its
// path) once the browser is initialised, and again after the browser's own
// queued start-up work.  Always 0.
int CALLBACK PickFolderCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);

}  // namespace kavcmd
