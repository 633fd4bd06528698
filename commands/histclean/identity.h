// Identity of the histclean command component: the one place that names its
// type library, class and interface.  kavlink_add_command reads these lines
// to generate the type library, the resources and ThisComponent(), so
// nothing else repeats these values.
#pragma once
#define KAVCMD_NAME "histclean"
#define KAVCMD_LIBID "FDEC65FE-7212-4737-B222-D7283AB5A383"
#define KAVCMD_LIB_MAJOR 2
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID "BAFCABA9-20F0-4C5C-97B3-9E4DBDA513BD"
#define KAVCMD_IID "70DB71C4-A6D5-469E-A2C5-32CF9756A036"
#define KAVCMD_HWND_PARAM "hWnd"
