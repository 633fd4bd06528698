// The component's embedded type library (resource TYPELIB 1 of its own
// file) and the two sides of _MorvikVbCommand in it.
#pragma once
#include "kav/com_ref.h"

#include <oaidl.h>
#include <string>

namespace kavcmd {

// Full path of this module's file.
std::wstring ModulePath();

// Loads the type library from this module's file without registering it.
HRESULT LoadOwnTypeLibrary(kav::ComRef<ITypeLib>& library);

// The two sides of _MorvikVbCommand in the component's type library: the
// dispatch side (what GetTypeInfoOfGuid gives, handed out by GetTypeInfo)
// and the function-table side (what GetIDsOfNames and Invoke go through).
struct InterfaceTypes {
    ITypeInfo* dispatchSide;
    ITypeInfo* tableSide;
};

// Loaded from the module's file at the first call and kept until the module
// unloads; the pointers are borrowed.  A failed load is tried again at the
// next call.
HRESULT CommandTypeInfo(InterfaceTypes& types);

}  // namespace kavcmd
