// The typed request layer that every export is written in.
//
// An export names its command code, its lParam and its payload segments in
// payload order; the layer checks that every segment has an address and that
// the whole request fits the payload area, then hands the segment list to one
// transport primitive.  A request that fails a check is refused: 0, nothing
// sent, no output touched.  Nothing here allocates; the segment list lives on
// the stack.
#pragma once
#include "guarded.h"
#include "shared_block.h"
#include "transport.h"

#include <ole2.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

namespace kav::wire {

// One payload segment, or the reason it cannot be carried (ok == false).
struct Seg {
    void* data;
    uint32_t size;
    bool ok;
};

inline constexpr uint64_t kTooLarge = uint64_t{kPayloadSize} + 1;

// A record passed by reference, moved with exactly its declared size.
template <class T>
    requires(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>)
constexpr Seg rec(const T* record) {
    return {const_cast<T*>(record), sizeof(T), record != nullptr};
}

// A value segment: the bytes of an argument taken from its own slot (1, 2, 4
// or 8 bytes), or a local of the export that receives part of the answer.
template <class T>
    requires(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8))
constexpr Seg val(T& value) {
    return {&value, sizeof(T), true};
}

// `count` records lying back to back from `first` (point lists, array data).
// The count is taken as the caller gives it: a negative count is refused.
template <class T>
    requires(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>)
inline Seg items(const T* first, int64_t count) {
    if (count < 0 || static_cast<uint64_t>(count) * sizeof(T) > kPayloadSize) return {nullptr, 0, false};
    const uint32_t size = static_cast<uint32_t>(count) * sizeof(T);
    return {const_cast<T*>(first), size, first != nullptr || size == 0};
}

// Raw bytes at an address (a caller's buffer of a size that the export fixes).
inline Seg bytes(const void* data, uint64_t size) {
    if (size > kPayloadSize) return {nullptr, 0, false};
    return {const_cast<void*>(data), static_cast<uint32_t>(size), data != nullptr || size == 0};
}

// A text segment: the text up to its first zero byte plus the terminator.
// A null or unreadable text, or one with no terminator within the payload
// area, is refused.
inline Seg text(const char* s) {
    const uint32_t length = guardedTextLength(s, kPayloadSize);
    if (length >= kPayloadSize) return {nullptr, 0, false};  // kUnreadable included
    return {const_cast<char*>(s), length + 1, true};
}

// Length of a zero-terminated text, counting at most `limit` bytes (so
// `limit` means "limit or longer"); -1 for a null or unreadable text.
inline int64_t textLength(const char* s, uint32_t limit = kPayloadSize) {
    const uint32_t length = guardedTextLength(s, limit);
    return length == kUnreadable ? -1 : static_cast<int64_t>(length);
}

// The element data of an OLE Automation array variable: the data address is
// read from the descriptor, 12 bytes in; neither bounds nor element size are
// consulted.  A missing variable or descriptor is refused, and so is missing
// data unless no bytes are wanted.
inline Seg arrayData(SAFEARRAY* const* variable, uint64_t size) {
    static_assert(offsetof(SAFEARRAY, pvData) == 12, "element data address 12 bytes into the descriptor");
    SAFEARRAY* descriptor = nullptr;
    void* data = nullptr;
    if (size > kPayloadSize || !guardedLoad(variable, descriptor) || descriptor == nullptr ||
        !guardedLoad(reinterpret_cast<const uint8_t*>(descriptor) + 12, data) || (data == nullptr && size != 0))
        return {nullptr, 0, false};
    return {data, static_cast<uint32_t>(size), true};
}

// The text reference held in a record field (the StringShape text pointer);
// null when the record cannot be read.
inline char* textReference(const void* record, size_t offset) {
    char* text = nullptr;
    if (!guardedLoad(static_cast<const uint8_t*>(record) + offset, text)) return nullptr;
    return text;
}

// A segment that must not be carried (an export's own check failed).
inline constexpr Seg refused() { return {nullptr, 0, false}; }

namespace detail {
template <size_t N>
bool fits(const Seg (&segs)[N]) {
    uint64_t total = 0;
    for (const Seg& s : segs) {
        if (!s.ok) return false;
        total += s.size;
    }
    return total <= kPayloadSize;
}
template <size_t N>
void toList(const Seg (&segs)[N], PayloadSegment (&list)[N]) {
    for (size_t i = 0; i < N; ++i) list[i] = {segs[i].data, segs[i].size};
}
}  // namespace detail

// ---- requests: the `try` forms tell a refusal (nullopt) from an answer -----

// SendRequest with no bytes.
inline uint32_t send(uint32_t code, uint32_t lParam) { return SendRequest(code, lParam, nullptr, 0); }
// ExchangeRequest with no bytes.
inline uint32_t exchange(uint32_t code, uint32_t lParam) { return ExchangeRequest(code, lParam, nullptr, 0); }

inline std::optional<uint32_t> trySend(uint32_t code, uint32_t lParam, Seg in) {
    if (!in.ok) return std::nullopt;
    return SendRequest(code, lParam, in.data, in.size);
}
inline uint32_t send(uint32_t code, uint32_t lParam, Seg in) { return trySend(code, lParam, in).value_or(0); }

inline std::optional<uint32_t> tryExchange(uint32_t code, uint32_t lParam, Seg inOut) {
    if (!inOut.ok) return std::nullopt;
    return ExchangeRequest(code, lParam, inOut.data, inOut.size);
}
inline uint32_t exchange(uint32_t code, uint32_t lParam, Seg inOut) { return tryExchange(code, lParam, inOut).value_or(0); }

// SendRequest of `in`, then ReadAnswer of `out.size` bytes into `out`,
// whatever the answer.
inline std::optional<uint32_t> trySendReadBack(uint32_t code, uint32_t lParam, Seg in, Seg out) {
    if (!in.ok || !out.ok) return std::nullopt;
    const uint32_t answer = SendRequest(code, lParam, in.data, in.size);
    ReadAnswer(out.data, out.size);
    return answer;
}
inline uint32_t sendReadBack(uint32_t code, uint32_t lParam, Seg inOut) {
    return trySendReadBack(code, lParam, inOut, inOut).value_or(0);
}

namespace detail {
// Checks the segments and hands them to one of the two gathering primitives.
template <auto Primitive, class... S>
std::optional<uint32_t> carry(uint32_t code, uint32_t lParam, S... segments) {
    if constexpr (sizeof...(S) == 0) {
        return Primitive(code, lParam, 0, nullptr);
    } else {
        const Seg segs[] = {segments...};
        if (!fits(segs)) return std::nullopt;
        PayloadSegment list[sizeof...(S)];
        toList(segs, list);
        return Primitive(code, lParam, sizeof...(S), list);
    }
}
}  // namespace detail

// GatherRequest: the segments are copied in, back to back.
template <class... S>
std::optional<uint32_t> tryGather(uint32_t code, uint32_t lParam, S... segments) {
    return detail::carry<&GatherRequest>(code, lParam, segments...);
}
template <class... S>
uint32_t gather(uint32_t code, uint32_t lParam, S... segments) {
    return tryGather(code, lParam, segments...).value_or(0);
}

// GatherScatterRequest: every segment comes back from its place afterwards.
template <class... S>
std::optional<uint32_t> tryScatter(uint32_t code, uint32_t lParam, S... segments) {
    return detail::carry<&GatherScatterRequest>(code, lParam, segments...);
}
template <class... S>
uint32_t scatter(uint32_t code, uint32_t lParam, S... segments) {
    return tryScatter(code, lParam, segments...).value_or(0);
}

// Variable-length segment lists (built by the few exports whose segment count
// follows an argument) go through the same checks.
template <size_t N>
std::optional<uint32_t> tryGatherList(uint32_t code, uint32_t lParam, const Seg (&segs)[N], size_t used) {
    PayloadSegment list[N];
    uint64_t total = 0;
    for (size_t i = 0; i < used; ++i) {
        if (!segs[i].ok) return std::nullopt;
        total += segs[i].size;
        list[i] = {segs[i].data, segs[i].size};
    }
    if (total > kPayloadSize) return std::nullopt;
    return GatherRequest(code, lParam, static_cast<uint32_t>(used), list);
}

// ---- lParam forms -----------------------------------------------------------
inline uint32_t lp16(int32_t v) { return static_cast<uint16_t>(v); }                               // zero-extended
inline uint32_t lpSigned16(int32_t v) { return static_cast<uint32_t>(int32_t{static_cast<int16_t>(v)}); }  // sign-extended
inline uint32_t lpPacked(int32_t low, int32_t high) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16) | static_cast<uint16_t>(low);
}

// ---- result forms -----------------------------------------------------------
inline int16_t lo16(uint32_t answer) { return static_cast<int16_t>(answer & 0xFFFF); }
inline int32_t negated16(uint32_t answer) { return -static_cast<int32_t>(answer & 0xFFFF); }

}  // namespace kav::wire
