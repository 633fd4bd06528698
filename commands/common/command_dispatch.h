// How the component's event methods reach the running command (command.h).
// Used by MorvikVbCommand only.
#pragma once
#include "command.h"


namespace kavcmd {

// Throws E_UNEXPECTED when a start event arrives inside another event of the
// running command (from a modal loop): it would destroy the object under that
// handler.  Called before the start event touches the library.
void RefuseStartInsideEvent();

// The start event: replaces the running command of this thread with a new
// one from CreateCommand() and calls its OnStartCmd.  The caller has called
// RefuseStartInsideEvent first.
void StartCommand(HWND hostWindow, int32_t cmdLine, int32_t& nCode);

// VokProcEndCmd: calls OnEndCmd and then notes that the host has ended the
// command (Running() is false from then on), whether the handler sent its
// exit message or not, so that a handler under which the host ended the
// command sees it once the request it was making returns.
void EndCommandByHost(Command& command, int32_t& nCode);

// Calls `call(context, command)` with the running command; with none running
// (before a start, after the end) it only writes a line naming `event` to the
// debug output.
using EventCall = void (*)(void* context, Command& command);
void DispatchEventTo(const char* event, EventCall call, void* context);

// DispatchEvent(event, [&](Command& c) { ... }): the handler is called in
// place, nothing is copied or allocated per event.
template <class F>
void DispatchEvent(const char* event, F& handler) {
    DispatchEventTo(event, [](void* context, Command& c) { (*static_cast<F*>(context))(c); }, &handler);
}

}  // namespace kavcmd
