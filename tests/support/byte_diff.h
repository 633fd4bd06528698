// Byte strings compared for a failure message: the first offset at which they
// differ, with the expected and actual bytes from there on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavtest {

inline constexpr size_t kNoDifference = static_cast<size_t>(-1);

// The first offset at which the two differ (a missing byte counts), or kNoDifference.
inline size_t firstDifferenceOffset(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    const size_t n = std::min(expected.size(), actual.size());
    for (size_t i = 0; i < n; ++i)
        if (expected[i] != actual[i]) return i;
    return expected.size() == actual.size() ? kNoDifference : n;
}

inline std::string hexRun(const std::vector<uint8_t>& v, size_t from, size_t count) {
    std::string s;
    char b[4];
    for (size_t i = from; i < v.size() && i < from + count; ++i) {
        std::snprintf(b, sizeof b, "%02X ", v[i]);
        s += b;
    }
    if (from + count < v.size()) s += "...";
    return s.empty() ? "(nothing)" : s;
}

// "" when equal; otherwise the offset, both lengths, and 16 bytes of each
// from the first difference on.
inline std::string firstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    const size_t at = firstDifferenceOffset(expected, actual);
    if (at == kNoDifference) return "";
    return "first difference at offset " + std::to_string(at) + " (expected " + std::to_string(expected.size()) +
           " bytes, got " + std::to_string(actual.size()) + ")\n  expected: " + hexRun(expected, at, 16) +
           "\n  actual:   " + hexRun(actual, at, 16);
}

}  // namespace kavtest
