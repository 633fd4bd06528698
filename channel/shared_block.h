// The library's view of the named shared block (kav/protocol.h) through
// which every request reaches the host.
#pragma once
#include "kav/protocol.h"

#include <windows.h>
#include <cstdint>

namespace kav::block {

// Creates or opens the mapping and maps it writable.  On failure everything
// that was acquired is released again and false is returned.
bool attach();
// Unmaps and closes.  The host window handle stored in the block stays.
void detach();
bool attached();

// The stored host window handle (0 when nobody stored one).
HWND hostWindow();
void setHostWindow(HWND window);

// Start of the payload area; valid only while attached.
uint8_t* payload();

}  // namespace kav::block
