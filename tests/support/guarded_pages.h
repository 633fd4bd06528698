// Memory that ends exactly at an inaccessible page: a read or write past the
// end of a buffer taken from it faults at once.
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace kavtest {

class GuardedPages {
public:
    static constexpr size_t kPage = 4096;

    // `bytes` of read-write memory (rounded up to whole pages), then one
    // page without access.
    explicit GuardedPages(size_t bytes = kPage) : size_((bytes + kPage - 1) / kPage * kPage) {
        base_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, size_ + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (!base_ || !::VirtualProtect(base_ + size_, kPage, PAGE_NOACCESS, &old))
            throw std::runtime_error("cannot set up a guard page");
    }
    ~GuardedPages() { ::VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedPages(const GuardedPages&) = delete;
    GuardedPages& operator=(const GuardedPages&) = delete;

    uint8_t* begin() const { return base_; }
    uint8_t* end() const { return base_ + size_; }  // first byte of the guard page
    size_t size() const { return size_; }
    // n bytes (at most the whole area) that end at the guard page.
    uint8_t* take(size_t n) const { return end() - std::min(n, size_); }

private:
    size_t size_;
    uint8_t* base_;
};

}  // namespace kavtest
