// Rows for exports that touch the caller's memory: each argument is a plain
// slot, a double, a buffer of the caller's (its bytes before and after the
// call, followed by guard bytes that must stay untouched), a string variable
// (its text before and, where it must change, after), or an array variable
// whose data holds given bytes.  The row names the request that must arrive,
// the host's reply (answer and bytes it writes), and the result.
#pragma once
#include "family_case.h"

#include <ole2.h>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavtest::exchange {

inline constexpr uint8_t kGuard = 0xC3;
inline constexpr size_t kGuardBytes = 8;

struct Arg {
    enum Kind { Slot, Double, Buffer, StrVar, Array } kind = Slot;
    uint32_t slot = 0;
    double number = 0.0;
    Bytes before;                      // Buffer, Array: caller bytes before the call
    Bytes after;                       // Buffer: caller bytes the call must leave
    std::string text;                  // StrVar: text before the call
    std::optional<std::string> result; // StrVar: text after (nullopt: the same string, untouched)
};

inline Arg slot(uint32_t v) {
    Arg a;
    a.slot = v;
    return a;
}
inline Arg dbl(double d) {
    Arg a;
    a.kind = Arg::Double;
    a.number = d;
    return a;
}
inline Arg buf(Bytes before, Bytes after) {
    Arg a;
    a.kind = Arg::Buffer;
    a.before = std::move(before);
    a.after = std::move(after);
    return a;
}
inline Arg buf(Bytes unchanged) { return buf(unchanged, unchanged); }
inline Arg txt(const std::string& s) { return buf(Bytes{}.str(s)); }
inline Arg strvar(std::string before, std::optional<std::string> after = std::nullopt) {
    Arg a;
    a.kind = Arg::StrVar;
    a.text = std::move(before);
    a.result = std::move(after);
    return a;
}
inline Arg array(Bytes data) {
    Arg a;
    a.kind = Arg::Array;
    a.before = std::move(data);
    return a;
}

struct Expect {
    ResultForm form;
    uint32_t value;
};
inline Expect answer(uint32_t v) { return {ResultForm::HostAnswer, v}; }
inline Expect low16(int16_t v) { return {ResultForm::Low16, static_cast<uint16_t>(v)}; }
inline Expect noResult() { return {ResultForm::None, 0}; }

struct ExchangeCase {
    const char* name;
    std::vector<Arg> args;
    uint32_t code;
    uint32_t lParam;
    Bytes payload;
    Reply reply;
    Expect result;
};

// The caller's side of one call: its memory lives until the checks are done.
class CallerMemory {
public:
    explicit CallerMemory(const std::vector<Arg>& args) : args_(args) {
        for (const Arg& a : args_) {
            switch (a.kind) {
            case Arg::Slot: slots_.u32(a.slot); break;
            case Arg::Double: slots_.f64(a.number); break;
            case Arg::Buffer: {
                auto& b = buffers_.emplace_back(a.before.b);
                b.insert(b.end(), kGuardBytes, kGuard);
                slots_.ptr(b.data());
                break;
            }
            case Arg::StrVar: {
                auto& v = strings_.emplace_back(std::make_unique<BSTR>(
                    ::SysAllocStringByteLen(a.text.data(), static_cast<UINT>(a.text.size()))));
                original_.push_back(*v);
                slots_.ptr(v.get());
                break;
            }
            case Arg::Array: {
                SAFEARRAY* sa = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(a.before.size()));
                if (!a.before.b.empty()) std::memcpy(sa->pvData, a.before.b.data(), a.before.size());
                auto& v = arrays_.emplace_back(std::make_unique<SAFEARRAY*>(sa));
                slots_.ptr(v.get());
                break;
            }
            }
        }
    }
    ~CallerMemory() {
        for (auto& v : strings_) ::SysFreeString(*v);
        for (auto& v : arrays_) ::SafeArrayDestroy(*v);
    }
    CallerMemory(const CallerMemory&) = delete;
    CallerMemory& operator=(const CallerMemory&) = delete;

    const Slots& slots() const { return slots_; }

    // Every buffer holds its expected bytes with its guard intact; every
    // string variable holds its expected text (or its untouched string).
    void expectOutputs() const {
        size_t nb = 0, ns = 0;
        for (size_t i = 0; i < args_.size(); ++i) {
            const Arg& a = args_[i];
            SCOPED_TRACE("argument " + std::to_string(i));
            if (a.kind == Arg::Buffer) {
                const auto& b = buffers_[nb++];
                std::vector<uint8_t> want = a.after.b;
                want.insert(want.end(), kGuardBytes, kGuard);
                EXPECT_EQ(hex(b, b.size()), hex(want, want.size()));
            } else if (a.kind == Arg::StrVar) {
                const BSTR s = *strings_[ns];
                const BSTR original = original_[ns++];
                if (!a.result) {
                    EXPECT_EQ(s, original) << "string variable replaced";
                    EXPECT_EQ(::SysStringByteLen(s), a.text.size());
                } else {
                    ASSERT_NE(s, nullptr);
                    EXPECT_EQ(::SysStringByteLen(s), a.result->size());
                    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s), ::SysStringByteLen(s)), *a.result);
                    EXPECT_EQ(reinterpret_cast<const char*>(s)[a.result->size()], '\0') << "no terminator";
                }
            }
        }
    }

private:
    const std::vector<Arg>& args_;
    Slots slots_;
    std::vector<std::vector<uint8_t>> buffers_;
    std::vector<std::unique_ptr<BSTR>> strings_;
    std::vector<BSTR> original_;
    std::vector<std::unique_ptr<SAFEARRAY*>> arrays_;
};

inline void expectResult(const CallResult& r, const Expect& e) {
    switch (e.form) {
    case ResultForm::HostAnswer: EXPECT_EQ(r.eax, e.value); break;
    case ResultForm::Low16: EXPECT_EQ(r.low16(), static_cast<int16_t>(e.value)); break;
    case ResultForm::Negated16: EXPECT_EQ(r.i32(), static_cast<int32_t>(e.value)); break;
    case ResultForm::None: break;
    }
}

inline void runExchangeCase(RecordingHost& host, const ExchangeCase& c) {
    SCOPED_TRACE(c.name);
    CallerMemory mem(c.args);
    host.clear();
    host.reply(c.reply);
    const CallResult r = host.call(c.name, mem.slots());
    ASSERT_EQ(host.requests().size(), 1u);
    expectRequest(host.requests()[0], c.code, c.lParam, c.payload);
    expectResult(r, c.result);
    mem.expectOutputs();
}

// A refusal: 0, no request, and the caller's memory as it was.
struct RefusalCase {
    const char* name;
    std::vector<Arg> args;
};

inline void runRefusalCase(RecordingHost& host, const RefusalCase& c) {
    SCOPED_TRACE(c.name);
    CallerMemory mem(c.args);
    host.clear();
    host.reply(Reply{0xFFFFFFFF}.write(0, Bytes{}.fill(0x77, 64)));
    const CallResult r = host.call(c.name, mem.slots());
    EXPECT_EQ(r.eax & 0xFFFF, 0u);
    EXPECT_TRUE(host.requests().empty()) << c.name << " sent a request";
    mem.expectOutputs();
}

}  // namespace kavtest::exchange
