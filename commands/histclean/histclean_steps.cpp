// The start steps of histclean: the command state, then the dialog.
#include "command_steps.h"

#include "com_barrier.h"
#include "histclean_form.h"
#include "settings.h"

namespace kavcmd {

HRESULT PrepareCommandState() {
    return ComBarrier([] {
        ComputeCommonFolders();
        HistcleanState state;
        state.paths[0] = Folders().rootFolder + L"\\sysdata\\FileOpenDlg.ini";
        state.paths[1] = Folders().sysinfoFolder + L"\\BndAttrData.ini";
        state.paths[2] = Folders().sysinfoFolder + L"\\DrwAttrData.ini";
        state.confirmFlag = ReadFlag(kHistcleanSection, kHistConfirmKey);
        for (int i = 0; i < kRows; ++i) state.rowFlags[i] = ReadFlag(kHistcleanSection, kRowKeys[i]);
        Histclean() = std::move(state);
        return S_OK;
    });
}

HRESULT RunCommandDialog(HWND hostWindow) {
    return ComBarrier([&] {
        HistcleanForm form;
        return form.ShowModal(hostWindow);
    });
}

}  // namespace kavcmd
