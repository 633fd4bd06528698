// How kavlink.dll and the host meet: the named shared block (4 bytes of host
// window handle, then the payload area) and the two window messages sent to
// the host window.  The library, kavhost and the tests' hosts all take these
// from here.
#pragma once
#include <cstdint>

namespace kav {

inline constexpr wchar_t kBlockName[] = L"vbcmd_memfilemap";
inline constexpr uint32_t kBlockSize = 0x4000;
inline constexpr uint32_t kHandleSize = 4;                          // the host window handle at offset 0
inline constexpr uint32_t kPayloadSize = kBlockSize - kHandleSize;  // from offset 4 to the end

// wParam: the command code; lParam: the export's own value.
inline constexpr uint32_t kRequestMessage = 0x0400 + 510;      // WM_USER + 510
// Sent once by VokExitCommand, with wParam and lParam 0.
inline constexpr uint32_t kExitCommandMessage = 0x0400 + 741;  // WM_USER + 741

static_assert(kBlockSize == 16384 && kPayloadSize == 16380);
static_assert(kRequestMessage == 1534 && kExitCommandMessage == 1765);

}  // namespace kav
