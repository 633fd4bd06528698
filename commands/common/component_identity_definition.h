// The definition of ThisComponent() from the KAVCMD_ values of the
// including command's identity.h; included by exactly one source of each
// command.
#pragma once
#include "component_identity.h"

namespace kavcmd {

const ComponentIdentity& ThisComponent() {
    static constexpr ComponentIdentity identity{
        L"" KAVCMD_NAME,
        L"" KAVCMD_NAME ".dll",
        L"" KAVCMD_NAME ".MorvikVbCommand",
        ParseGuid(KAVCMD_LIBID),
        KAVCMD_LIB_MAJOR,
        KAVCMD_LIB_MINOR,
        ParseGuid(KAVCMD_CLSID),
        ParseGuid(KAVCMD_IID),
    };
    return identity;
}

}  // namespace kavcmd
