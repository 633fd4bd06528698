// The component runner: registers a command component, creates it, calls
// VokProcStartCmd with the request window, then the other events in order
// until the command ends with its exit message; the dialog driver works the
// command's windows meanwhile and delivers the "ui event" steps.  The
// session passes when the command has ended through its exit message (in
// any event), every event delivered returned success, no message came after
// the exit message, no event was left over and every ui step was done.
// Failures name their cause: the HRESULT in words, the argument that Invoke
// refused and the VARIANT types passed, a missing DLL or a kavlink.dll that
// cannot be found, the event that was delivered last or not at all.
#pragma once
#include "run/host.h"

#include <string>
#include <vector>

namespace kavhost {

class DialogDriver;

struct RunOptions {
    std::string command;      // ProgID, {CLSID} or path of the component DLL
    std::string registerDll;  // DLL to register first ("" = only when needed)
    int32_t cmdLine = 0;
    std::vector<EventCall> events;     // delivered after the start event
    int startLine = 0;                 // where the start event comes from (a recording's line), 0: kavhost
    const char* startOrigin = "script";
    int32_t startCode = 0;             // nCode passed to the start event (a recording's)
};

// Returns true when the session passed.
bool runCommand(Host& host, DialogDriver& driver, const RunOptions& options);

}  // namespace kavhost
