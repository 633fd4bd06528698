// Identity of the csbclean command component: the one place that names its
// type library, class and interface.  kavlink_add_command reads these lines
// to generate the type library, the resources and ThisComponent(), so
// nothing else repeats these values.
#pragma once
#define KAVCMD_NAME "csbclean"
#define KAVCMD_LIBID "8687B18D-8CE1-4C8B-AEDD-3A249018775A"
#define KAVCMD_LIB_MAJOR 18
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID "2D38DE7C-3BEC-4519-8B67-4D999253F6B7"
#define KAVCMD_IID "A93F99F2-E8A4-487E-8608-2C084826F652"
#define KAVCMD_HWND_PARAM "hwnd"
