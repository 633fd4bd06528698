// Start steps until the command's own state and dialog are in place.
#include "command_steps.h"

namespace kavcmd {

HRESULT PrepareCommandState() { return S_OK; }

HRESULT RunCommandDialog(HWND) { return S_OK; }

}  // namespace kavcmd
