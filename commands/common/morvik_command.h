// MorvikVbCommand, the one class of a command component.  Its interface
// _MorvikVbCommand is declared by morvik_interface.h, which widl writes from
// morvik_command.idl.in; the identifiers of a component's interface and
// class come from its identity (ThisComponent()), never from that header.
#pragma once
#include "morvik_interface.h"

#include <oaidl.h>
#include <string>

namespace kavcmd {

using ::_MorvikVbCommand;

// Creates a MorvikVbCommand and asks it for `iid`.
HRESULT CreateMorvikVbCommand(REFIID iid, void** object);

// MorvikVbCommand instances alive in this module.
LONG LiveObjectCount();

// The text that the string box hook hands to VokProcStringBoxEvent: the
// 256-byte text field of a BoxStatus from the system code page, as one
// string of 256 characters (the text, then NULs to the end of the field).
std::wstring BoxText(const char (&field)[256]);

}  // namespace kavcmd
