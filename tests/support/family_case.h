// Shared checks of the family tests: the request that must arrive (code,
// lParam, exact payload bytes followed by untouched sentinel), a refusal, and
// the fixture with a bound recording host.  The rows themselves are run by
// io_case.h.
#pragma once
#include "recording_host.h"

#include <gtest/gtest.h>
#include <string>

namespace kavtest {

inline constexpr uint32_t kAnswer = 0x7A5B0003;  // high half set, low half 3

inline std::string hex(const std::vector<uint8_t>& v, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n && i < v.size(); ++i) {
        s += digits[v[i] >> 4];
        s += digits[v[i] & 15];
        s += ' ';
    }
    return s;
}

// Checks one request against the expectation; use inside a test.
inline void expectRequest(const Recorded& r, uint32_t code, uint32_t lParam, const Bytes& payload) {
    EXPECT_EQ(r.message, 1534u);
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.lParam, lParam);
    EXPECT_TRUE(r.equals(payload)) << "sent " << r.length() << " bytes: " << hex(r.payload, r.length())
                                   << "\nexpected " << payload.size() << " bytes: " << hex(payload.b, payload.size());
}

// A refusal: 0 returned and no request at all.
inline void expectRefused(RecordingHost& host, const char* name, const Slots& args) {
    SCOPED_TRACE(name);
    host.clear();
    const CallResult r = host.call(name, args);
    EXPECT_EQ(r.eax & 0xFFFF, 0u);
    EXPECT_TRUE(host.requests().empty()) << name << " sent a request";
}

// Fixture: a bound recording host for each test.
class FamilyTest : public ::testing::Test {
protected:
    void SetUp() override { host.bind(); }
    RecordingHost host;
};

}  // namespace kavtest
