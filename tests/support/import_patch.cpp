#include "import_patch.h"

#include <ole2.h>
#include <cstdlib>
#include <cstring>

namespace kavtest {
namespace {

uint32_t g_heap = 0;
uint32_t g_strings = 0;

// The wrappers forward to this program's own imports of the same functions.
void* __cdecl countMalloc(size_t n) { ++g_heap; return std::malloc(n); }
void* __cdecl countCalloc(size_t a, size_t b) { ++g_heap; return std::calloc(a, b); }
void* __cdecl countRealloc(void* p, size_t n) { ++g_heap; return std::realloc(p, n); }
LPVOID WINAPI countHeapAlloc(HANDLE h, DWORD f, SIZE_T n) { ++g_heap; return ::HeapAlloc(h, f, n); }
LPVOID WINAPI countHeapReAlloc(HANDLE h, DWORD f, LPVOID p, SIZE_T n) { ++g_heap; return ::HeapReAlloc(h, f, p, n); }
HLOCAL WINAPI countLocalAlloc(UINT f, SIZE_T n) { ++g_heap; return ::LocalAlloc(f, n); }
HGLOBAL WINAPI countGlobalAlloc(UINT f, SIZE_T n) { ++g_heap; return ::GlobalAlloc(f, n); }
BSTR WINAPI countSysAllocString(const OLECHAR* s) { ++g_strings; return ::SysAllocString(s); }
BSTR WINAPI countSysAllocStringLen(const OLECHAR* s, UINT n) { ++g_strings; return ::SysAllocStringLen(s, n); }
BSTR WINAPI countSysAllocStringByteLen(LPCSTR s, UINT n) { ++g_strings; return ::SysAllocStringByteLen(s, n); }
INT WINAPI countSysReAllocString(BSTR* p, const OLECHAR* s) { ++g_strings; return ::SysReAllocString(p, s); }
INT WINAPI countSysReAllocStringLen(BSTR* p, const OLECHAR* s, UINT n) { ++g_strings; return ::SysReAllocStringLen(p, s, n); }

struct Replacement {
    const char* name;
    void* function;
};
const Replacement kReplacements[] = {
    {"malloc", reinterpret_cast<void*>(&countMalloc)},
    {"calloc", reinterpret_cast<void*>(&countCalloc)},
    {"realloc", reinterpret_cast<void*>(&countRealloc)},
    {"HeapAlloc", reinterpret_cast<void*>(&countHeapAlloc)},
    {"HeapReAlloc", reinterpret_cast<void*>(&countHeapReAlloc)},
    {"LocalAlloc", reinterpret_cast<void*>(&countLocalAlloc)},
    {"GlobalAlloc", reinterpret_cast<void*>(&countGlobalAlloc)},
    {"SysAllocString", reinterpret_cast<void*>(&countSysAllocString)},
    {"SysAllocStringLen", reinterpret_cast<void*>(&countSysAllocStringLen)},
    {"SysAllocStringByteLen", reinterpret_cast<void*>(&countSysAllocStringByteLen)},
    {"SysReAllocString", reinterpret_cast<void*>(&countSysReAllocString)},
    {"SysReAllocStringLen", reinterpret_cast<void*>(&countSysReAllocStringLen)},
};

}  // namespace

AllocationCounter::AllocationCounter(HMODULE module) {
    auto* base = reinterpret_cast<uint8_t*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Replacement& r : kReplacements) {
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), r.name) != 0) continue;
                void** slot = reinterpret_cast<void**>(&slots->u1.Function);
                DWORD old;
                ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
                patched_.push_back({slot, *slot});
                *slot = r.function;
                ::VirtualProtect(slot, sizeof(void*), old, &old);
            }
        }
    }
}

AllocationCounter::~AllocationCounter() {
    for (const Patch& p : patched_) {
        DWORD old;
        ::VirtualProtect(p.slot, sizeof(void*), PAGE_READWRITE, &old);
        *p.slot = p.original;
        ::VirtualProtect(p.slot, sizeof(void*), old, &old);
    }
}

uint32_t AllocationCounter::heap() { return g_heap; }
uint32_t AllocationCounter::strings() { return g_strings; }
void AllocationCounter::reset() { g_heap = g_strings = 0; }

}  // namespace kavtest
