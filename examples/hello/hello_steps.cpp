// The hello command: greets the user in the guide line, draws one line with
// the host's current element attributes, shows a CSB panel with a text box
// and ends.  The frame calls InitVBCmdLib before these steps and
// VokExitCommand after them.
#include "command_steps.h"
#include "kavlink.h"

namespace kavcmd {

// Step 3: nothing to read before the command runs.
HRESULT PrepareCommandState() { return S_OK; }

// Step 4: the command's work; a command with a dialog shows it here.
HRESULT RunCommandDialog(HWND) {
    VokCommandGuide("Hello from the hello command");

    ElementAttr attr{};
    if (VokGetSystemElementAttr(&attr) == 0) return E_FAIL;
    const LineShape line{{0, 0}, {100, 50}};
    if (VokAppendLine(&line, &attr) == 0) return E_FAIL;

    if (VokCreateCSB(1, "Hello", "", 0) == 0) return E_FAIL;
    const int32_t panel = VokGetCSBHandle(1);  // the panel's handle, not what VokCreateCSB answered
    if (panel == 0) return E_FAIL;
    VokCreateTextBox(panel, 1, "Your name");
    VokComposeCSB(panel);
    return S_OK;
}

}  // namespace kavcmd
