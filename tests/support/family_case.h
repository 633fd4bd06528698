// Table-driven checks for exports that make one request: each row names the
// export, its argument slots, and the request that must arrive (code, lParam,
// exact payload bytes followed by untouched sentinel).  The host answers
// kAnswer; the row says how the result must come back.
#pragma once
#include "recording_host.h"

#include <gtest/gtest.h>
#include <string>

namespace kavtest {

inline constexpr uint32_t kAnswer = 0x7A5B0003;  // high half set, low half 3

enum class ResultForm { HostAnswer, Low16, Negated16, None };

struct RequestCase {
    const char* name;
    Slots args;
    uint32_t code;
    uint32_t lParam;
    Bytes payload;
    ResultForm result = ResultForm::HostAnswer;
};

inline std::ostream& operator<<(std::ostream& os, const RequestCase& c) { return os << c.name; }

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

inline void runRequestCase(RecordingHost& host, const RequestCase& c) {
    SCOPED_TRACE(c.name);
    host.clear();
    host.reply(kAnswer);
    const CallResult r = host.call(c.name, c.args);
    ASSERT_EQ(host.requests().size(), 1u);
    expectRequest(host.requests()[0], c.code, c.lParam, c.payload);
    switch (c.result) {
    case ResultForm::HostAnswer: EXPECT_EQ(r.eax, kAnswer); break;
    case ResultForm::Low16: EXPECT_EQ(r.low16(), 3); break;
    case ResultForm::Negated16: EXPECT_EQ(r.i32(), -3); break;
    case ResultForm::None: break;
    }
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
