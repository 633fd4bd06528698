// The named shared block through which every request reaches the host:
// 4 bytes of host window handle, then the 16380-byte payload area.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kav {

inline constexpr wchar_t kBlockName[] = L"vbcmd_memfilemap";
inline constexpr uint32_t kBlockSize = 0x4000;
inline constexpr uint32_t kHandleSize = 4;
inline constexpr uint32_t kPayloadSize = kBlockSize - kHandleSize;  // 16380

inline constexpr UINT kRequestMessage = WM_USER + 510;      // 1534
inline constexpr UINT kExitCommandMessage = WM_USER + 741;  // 1765
static_assert(kRequestMessage == 1534 && kExitCommandMessage == 1765);
static_assert(kPayloadSize == 16380);

namespace block {

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

}  // namespace block
}  // namespace kav
