#include "shared_block.h"
#include "kav/handles.h"

#include <cstring>

namespace kav::block {
namespace {

// The library's only two process-wide values: the mapping and its view.
UniqueMappingHandle g_mapping;
UniqueView g_view;

uint8_t* base() { return static_cast<uint8_t*>(g_view.get()); }

}  // namespace

bool attach() {
    if (g_view) return true;
    // Creates the mapping or, when the host or another component made it
    // already, opens the existing one; both go on alike.
    UniqueMappingHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                     kBlockSize, kBlockName));
    if (!mapping) return false;
    UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, kBlockSize));
    if (!view) return false;  // both released on the way out
    g_mapping = std::move(mapping);
    g_view = std::move(view);
    return true;
}

void detach() {
    g_view.reset();
    g_mapping.reset();
}

bool attached() { return static_cast<bool>(g_view); }

HWND hostWindow() {
    if (!g_view) return nullptr;
    uint32_t value;
    std::memcpy(&value, base(), sizeof value);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

void setHostWindow(HWND window) {
    if (!g_view) return;
    const uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    std::memcpy(base(), &value, sizeof value);
}

uint8_t* payload() { return g_view ? base() + kHandleSize : nullptr; }

}  // namespace kav::block
