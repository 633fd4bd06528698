// Load and unload of kavlink.dll: the shared block is mapped for the whole
// life of the library.  A block that cannot be created, opened or mapped
// refuses the load.  A field recording's last lines reach its file at unload,
// also at process exit; the switch itself is read later, never here.
#include "record/recorder.h"
#include "shared_block.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        return kav::block::attach() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        kav::record::end();
        // At process exit (reserved != null) the system reclaims the view.
        if (reserved == nullptr) kav::block::detach();
        return TRUE;
    default:
        return TRUE;
    }
}
