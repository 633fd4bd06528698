// Rows for exports that move the caller's records.  Each argument is a value
// slot, a text, or a record placed in caller memory with guard bytes behind
// it.  The host answers by writing a pattern over the payload area; after the
// call an input record must still hold its own bytes, an output record the
// pattern bytes at its payload offset, and every guard must be intact (so a
// record is neither read nor written past its size).
#pragma once
#include "family_case.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Own namespace: other row helpers of the test program declare names such
// as Arg and txt in kavtest, and two inline definitions of one name would
// silently replace each other at link time.
namespace kavtest::caller {

inline constexpr uint8_t kGuard = 0xEE;
inline constexpr size_t kGuardSize = 8;
inline constexpr uint32_t kNoRequest = 0;  // row code of an early refusal

// first, first + 1, ... (wrapping): contents of a caller record.
inline Bytes seq(uint8_t first, size_t n) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(first + i));
    return b;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.raw(p.b.data(), p.size());
    return b;
}

// What the host writes over the start of the payload area before it answers.
inline Bytes hostPattern(size_t n = 4096) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(0x81 + i * 7 + (i >> 8) * 3));
    return b;
}

struct Arg {
    enum class Kind { Value, In, Out, Text, Shape } kind = Kind::Value;
    uint32_t value = 0;
    Bytes bytes;                      // record contents; for Shape the 16 position bytes
    uint32_t from = 0;                // Out: payload offset the record comes back from
    std::optional<std::string> text;  // Text; Shape (nullopt: null text reference)
};
inline Arg v(uint32_t x) { return {Arg::Kind::Value, x, {}, 0, {}}; }
inline Arg null() { return v(0); }
inline Arg in(Bytes b) { return {Arg::Kind::In, 0, std::move(b), 0, {}}; }
inline Arg out(Bytes b, uint32_t from) { return {Arg::Kind::Out, 0, std::move(b), from, {}}; }
inline Arg txt(std::string s) { return {Arg::Kind::Text, 0, {}, 0, std::move(s)}; }
// A StringShape (20 bytes: position, then the address of its text).
inline Arg shape(Bytes position, std::optional<std::string> text) {
    return {Arg::Kind::Shape, 0, std::move(position), 0, std::move(text)};
}

// Caller memory of one call.  It never moves, so the addresses stay valid.
class CallerMemory {
public:
    CallerMemory() : mem_(32768, 0) {}

    // Places `content` and the guard; returns its address.
    uint8_t* place(const Bytes& content, std::optional<uint32_t> from = std::nullopt) {
        const size_t at = used_;
        if (at + content.size() + kGuardSize > mem_.size()) throw std::runtime_error("caller memory full");
        std::copy(content.b.begin(), content.b.end(), mem_.begin() + at);
        std::fill_n(mem_.begin() + at + content.size(), kGuardSize, kGuard);
        used_ = (at + content.size() + kGuardSize + 3) & ~size_t{3};
        regions_.push_back({at, content, from});
        return mem_.data() + at;
    }

    Slots slots(const std::vector<Arg>& args) {
        Slots s;
        for (const Arg& a : args) {
            switch (a.kind) {
            case Arg::Kind::Value: s.u32(a.value); break;
            case Arg::Kind::In: s.ptr(place(a.bytes)); break;
            case Arg::Kind::Out: s.ptr(place(a.bytes, a.from)); break;
            case Arg::Kind::Text: s.ptr(place(Bytes{}.str(*a.text))); break;
            case Arg::Kind::Shape: {
                const uint8_t* text = a.text ? place(Bytes{}.str(*a.text)) : nullptr;
                s.ptr(place(Bytes(a.bytes).u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)))));
                break;
            }
            }
        }
        return s;
    }

    // Inputs unchanged, outputs hold the pattern from their payload offset
    // (when `answered`), guards intact.
    void expectAfter(bool answered, const Bytes& pattern) const {
        for (size_t i = 0; i < regions_.size(); ++i) {
            const Region& r = regions_[i];
            SCOPED_TRACE("caller record " + std::to_string(i));
            Bytes expected = r.content;
            if (answered && r.from) {
                expected.b.assign(pattern.b.begin() + *r.from, pattern.b.begin() + *r.from + r.content.size());
                EXPECT_NE(expected.b, r.content.b) << "pattern cannot tell a copy-back here";
            }
            const std::vector<uint8_t> seen(mem_.begin() + r.offset, mem_.begin() + r.offset + r.content.size());
            EXPECT_EQ(seen, expected.b);
            for (size_t g = 0; g < kGuardSize; ++g)
                EXPECT_EQ(mem_[r.offset + r.content.size() + g], kGuard) << "guard byte " << g << " overwritten";
        }
    }

private:
    struct Region {
        size_t offset;
        Bytes content;
        std::optional<uint32_t> from;
    };
    std::vector<uint8_t> mem_;
    size_t used_ = 0;
    std::vector<Region> regions_;
};

// One request (or, with code kNoRequest, an early refusal: 0 and nothing sent).
struct RecordRow {
    const char* name;
    std::vector<Arg> args;
    uint32_t code = kNoRequest;
    uint32_t lParam = 0;
    Bytes payload;
    uint32_t answer = kAnswer;
};

inline RecordRow refusal(const char* name, std::vector<Arg> args) {
    RecordRow row{};
    row.name = name;
    row.args = std::move(args);
    return row;
}

inline void runRecordRow(RecordingHost& host, const RecordRow& row) {
    SCOPED_TRACE(row.name);
    CallerMemory memory;
    const Slots slots = memory.slots(row.args);
    const Bytes pattern = hostPattern();
    host.clear();
    host.reply(Reply{row.answer}.write(0, pattern));
    const CallResult r = host.call(row.name, slots);
    if (row.code == kNoRequest) {
        EXPECT_EQ(r.eax, 0u);
        EXPECT_TRUE(host.requests().empty()) << "refused call sent a request";
        memory.expectAfter(false, pattern);
        return;
    }
    ASSERT_EQ(host.requests().size(), 1u);
    expectRequest(host.requests()[0], row.code, row.lParam, row.payload);
    EXPECT_EQ(r.eax, row.answer);
    memory.expectAfter(true, pattern);
}

}  // namespace kavtest::caller
