// Identity of the perpcopy command component: its type library, class and
// interface.  Written by NewCommand.cmake with fresh GUIDs; keep them for as
// long as the command exists (they are how the host finds it).
#pragma once
#define KAVCMD_NAME "perpcopy"
#define KAVCMD_LIBID "699F2E0A-923A-4490-8790-C91257F00517"
#define KAVCMD_LIB_MAJOR 1
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID "EB9676AF-9425-4FB1-A9D4-CBBCFE626916"
#define KAVCMD_IID "9B1E5DF5-BA0D-4AFB-96EC-D5699CE64CA2"
#define KAVCMD_HWND_PARAM "hWnd"
