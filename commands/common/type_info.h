// The component's embedded type library (resource TYPELIB 1 of its own
// file) and the two sides of _MorvikVbCommand in it.
#pragma once
#include "com_ref.h"

#include <oaidl.h>
#include <string>

namespace kavcmd {

// Full path of this module's file.
std::wstring ModulePath();

// Loads the type library from this module's file without registering it.
HRESULT LoadOwnTypeLibrary(ComRef<ITypeLib>& library);

// The dispatch side of _MorvikVbCommand (what GetTypeInfoOfGuid gives) and
// the function-table side (what ITypeInfo::Invoke calls through).
HRESULT InterfaceTypeInfo(ComRef<ITypeInfo>& dispatchSide, ComRef<ITypeInfo>* tableSide);

}  // namespace kavcmd
