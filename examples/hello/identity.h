// Identity of the hello command component: its type library, class and
// interface.  A command of your own needs new GUIDs: NewCommand.cmake in the
// kit writes such a header.
#pragma once
#define KAVCMD_NAME "hello"
#define KAVCMD_LIBID "B8B4C950-9916-4F2C-A659-A6CEF6C25B6F"
#define KAVCMD_LIB_MAJOR 1
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID "A34609A4-56D2-44A8-9BB6-DEE899BAAB3B"
#define KAVCMD_IID "FBF9A67A-181C-43DD-ACA4-67599C7E52B9"
#define KAVCMD_HWND_PARAM "hWnd"
