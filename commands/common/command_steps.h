// What each command puts into the start skeleton.  The frame calls these in
// order between InitVBCmdLib and VokExitCommand; each command implements
// them in its own folder.  A failure HRESULT (or a BindingFailure) ends the
// start event at once.
#pragma once
#include <windows.h>

namespace kavcmd {

// Step 3: prepare the command state (folders, paths and flags read from the
// settings file).  Recomputed by every start.
HRESULT PrepareCommandState();

// Step 4: show the command's dialog modally; returns when it has closed.
// All of the command's work with files and settings happens inside.
HRESULT RunCommandDialog(HWND hostWindow);

}  // namespace kavcmd
