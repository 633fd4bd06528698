// The start steps of csbclean: the command state, then the dialog.
#include "command_steps.h"

#include "com_barrier.h"
#include "csbclean_form.h"
#include "settings.h"

namespace kavcmd {

HRESULT PrepareCommandState() {
    return ComBarrier([] {
        ComputeCommonFolders();
        CsbcleanState state;
        state.csbFolder = Folders().sysinfoFolder + L"\\CSB";
        state.confirmFlag = ReadFlag(kCsbcleanSection, kConfirmKey);
        Csbclean() = std::move(state);
        return S_OK;
    });
}

HRESULT RunCommandDialog(HWND hostWindow) {
    return ComBarrier([&] {
        CsbcleanForm form;
        return form.ShowModal(hostWindow);
    });
}

}  // namespace kavcmd
