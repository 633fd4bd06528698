// Caller memory is touched only through these: a bad address gives a failure
// result instead of an access violation in the host's process.
#pragma once
#include <cstdint>

extern "C" int kav_guarded_copy(void* dst, const void* src, uint32_t n);
extern "C" uint32_t kav_guarded_strnlen(const char* s, uint32_t limit);

namespace kav {

inline bool guardedCopy(void* dst, const void* src, uint32_t n) { return n == 0 || kav_guarded_copy(dst, src, n) != 0; }

inline constexpr uint32_t kUnreadable = 0xFFFFFFFF;
// Length of the text up to its first zero byte, at most `limit`;
// kUnreadable when the text cannot be read (null, or runs into unmapped memory).
inline uint32_t guardedTextLength(const char* s, uint32_t limit) {
    return s == nullptr ? kUnreadable : kav_guarded_strnlen(s, limit);
}

// Reads one value from caller memory.
template <class T>
bool guardedLoad(const void* address, T& out) {
    return address != nullptr && guardedCopy(&out, address, sizeof(T));
}
template <class T>
bool guardedStore(void* address, const T& value) {
    return address != nullptr && guardedCopy(address, &value, sizeof(T));
}

}  // namespace kav
