// Resource id of the commands' 32 x 32 icon (command_icon.rc).
#pragma once
#define IDI_KAVCMD_ICON 101
