// The start steps of csbclean: the command state, then the dialog.
#include "command_steps.h"

#include "binding.h"
#include "csbclean_form.h"
#include "settings.h"

namespace kavcmd {

HRESULT PrepareCommandState() {
    try {
        ComputeCommonFolders();
        CsbcleanState state;
        state.csbFolder = Folders().sysinfoFolder + L"\\CSB";
        state.confirmFlag = ReadFlag(kCsbcleanSection, kConfirmKey);
        Csbclean() = std::move(state);
        return S_OK;
    } catch (const BindingFailure& f) {
        return f.hr;
    } catch (const StepFailure& f) {
        return f.hr;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT RunCommandDialog(HWND hostWindow) {
    try {
        CsbcleanForm form;
        return form.ShowModal(hostWindow);
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace kavcmd
