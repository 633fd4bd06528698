// Counts the heap allocations a module makes: its import address table
// entries for the C runtime and kernel heap functions and the OLE string
// allocators are redirected to counting wrappers that forward to the real
// functions.  Undone when the object goes out of scope.
#pragma once
#include <windows.h>
#include <cstdint>
#include <vector>

namespace kavtest {

class AllocationCounter {
public:
    explicit AllocationCounter(HMODULE module);
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    static uint32_t heap();     // malloc, calloc, realloc, HeapAlloc, HeapReAlloc, LocalAlloc, GlobalAlloc
    static uint32_t strings();  // SysAllocString*, SysReAllocString*
    static void reset();
    size_t patchedEntries() const { return patched_.size(); }

private:
    struct Patch {
        void** slot;
        void* original;
    };
    std::vector<Patch> patched_;
};

}  // namespace kavtest
