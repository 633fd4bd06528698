// The component runner: registers a command component, creates it, calls
// VokProcStartCmd with the request window while the dialog driver works its
// dialog, then the script's event methods.  Failures name their cause: the
// HRESULT in words, the argument that Invoke refused and the VARIANT types
// passed, a missing DLL or a kavlink.dll that cannot be found.
#pragma once
#include "host.h"

#include <string>

namespace kavhost {

class DialogDriver;

struct RunOptions {
    std::string command;      // ProgID, {CLSID} or path of the component DLL
    std::string registerDll;  // DLL to register first ("" = only when needed)
    int32_t cmdLine = 0;
};

// Returns true when everything succeeded and the command reported its end.
bool runCommand(Host& host, DialogDriver& driver, const RunOptions& options);

}  // namespace kavhost
