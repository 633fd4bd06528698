// Identity of the twopoint command component: its type library, class and
// interface.  Written by NewCommand.cmake with fresh GUIDs; keep them for as
// long as the command exists (they are how the host finds it).
#pragma once
#define KAVCMD_NAME "twopoint"
#define KAVCMD_LIBID "FB2FD42B-AAEE-4673-BE78-F062779157F5"
#define KAVCMD_LIB_MAJOR 1
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID "324067B0-2AF4-4774-9FD4-F367A090885B"
#define KAVCMD_IID "B9C11723-2272-4E7E-952D-8943AE3279E2"
#define KAVCMD_HWND_PARAM "hWnd"
