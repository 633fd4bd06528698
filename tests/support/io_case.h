// The row harness of the family tests: one row per call of an export.  Each
// row gives the caller's buffers (contents before the call and the bytes they
// must hold afterwards), the argument slots (values, doubles, buffer
// addresses, array variables over buffers), the request that must arrive, the
// host's reply and the result.  Every buffer is followed by guard bytes that must survive, and
// the host's reply usually scribbles a counting pattern over the payload area
// so that a copy-back from the wrong offset, of the wrong size, or of an
// input-only segment shows.  A refused row must send nothing, return 0 and
// leave every byte of the caller's memory as it was.
//
// Arguments may also carry their caller memory themselves: a buffer with its
// bytes before and after the call (txt for a text), a record that comes back
// from a payload offset (out), a StringShape with its text, a string variable
// with its text before and, where it must change, after, or an array variable
// whose data holds given bytes.  Those are checked after every call, refused
// or not.
#pragma once
#include "family_case.h"

#include <ole2.h>
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavtest {

inline constexpr size_t kGuardSize = 16;
inline constexpr uint8_t kGuardByte = 0xC3;
inline constexpr uint8_t kScribbleSeed = 0x40;

// n bytes counting up from seed + from: every offset holds its own value.
inline Bytes pattern(size_t n, uint8_t seed, size_t from = 0) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(seed + from + i));
    return b;
}

// Concatenation of byte strings (payloads built from their segments).
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.raw(p.b.data(), p.size());
    return all;
}

// A reply that answers kAnswer after writing the counting pattern over the
// first n payload bytes; `scribbled(offset, n)` is what a segment placed at
// `offset` reads back from it.
inline Reply scribble(size_t n = 2048) { return Reply{kAnswer}.write(0, pattern(n, kScribbleSeed)); }
inline Bytes scribbled(size_t offset, size_t n) { return pattern(n, kScribbleSeed, offset); }

// first, first + 1, ... (wrapping): contents of a caller record.
inline Bytes seq(uint8_t first, size_t n) { return pattern(n, first); }

// A pattern that no counting record matches at any offset, and a reply that
// writes it over the start of the payload area (for out() records).
inline Bytes hostPattern(size_t n = 4096) {
    Bytes b;
    for (size_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(0x81 + i * 7 + (i >> 8) * 3));
    return b;
}
inline Reply patterned(uint32_t answer = kAnswer) { return Reply{answer}.write(0, hostPattern()); }

struct Arg {
    enum Kind { Slot, Double, Int64, Buffer, Array, Own, StrVar, OwnArray, Out, Shape } kind = Slot;
    uint32_t slot = 0;
    double d = 0.0;
    int64_t i = 0;
    size_t buffer = 0;
    Bytes before = {};                       // Own, OwnArray: caller bytes before the call
    Bytes after = {};                        // Own: caller bytes the call must leave
    std::string text = {};                   // StrVar: text before the call
    std::optional<std::string> result = {};  // StrVar: text after (nullopt: the same string, untouched)
    uint32_t from = 0;                       // Out: payload offset the record comes back from
    std::optional<std::string> shapeText = {};  // Shape: its text (nullopt: null text reference)
};
inline Arg slot(uint32_t v) { return {Arg::Slot, v}; }
inline Arg dbl(double d) { return {Arg::Double, 0, d}; }
inline Arg i64(int64_t i) { return {Arg::Int64, 0, 0.0, i}; }
inline Arg buf(size_t index) { return {Arg::Buffer, 0, 0.0, 0, index}; }  // the buffer's address
inline Arg arr(size_t index) { return {Arg::Array, 0, 0.0, 0, index}; }   // an array variable over it
inline Arg nul() { return slot(0); }
// A buffer of the argument's own: its bytes before and after the call.
inline Arg buf(Bytes before, Bytes after) {
    Arg a;
    a.kind = Arg::Own;
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
// A record of the argument's own that an answered call fills from payload
// offset `from` (and a refused one leaves alone).
inline Arg out(Bytes before, uint32_t from) {
    Arg a;
    a.kind = Arg::Out;
    a.before = std::move(before);
    a.from = from;
    return a;
}
// A StringShape (20 bytes: position, then the address of its text).
inline Arg shape(Bytes position, std::optional<std::string> text) {
    Arg a;
    a.kind = Arg::Shape;
    a.before = std::move(position);
    a.shapeText = std::move(text);
    return a;
}
// An array variable of the argument's own whose data holds `data`.
inline Arg array(Bytes data) {
    Arg a;
    a.kind = Arg::OwnArray;
    a.before = std::move(data);
    return a;
}

// A caller buffer: its bytes before the call and after it (empty: unchanged).
struct Mem {
    Bytes before;
    Bytes after = {};
};

// How the result comes back: the host's answer (or its low half), a given
// value, a double, the address of a caller buffer, or nothing to check.
struct Expect {
    enum Kind { Answer, Low16, Double, Address, Negated16, None } kind = Answer;
    double d = 0.0;
    size_t buffer = 0;
    std::optional<uint32_t> value = {};  // Answer, Low16, Negated16: this instead of the host's answer
};
inline Expect answer() { return {}; }
inline Expect low16() { return {Expect::Low16}; }
inline Expect answer(uint32_t v) { return {Expect::Answer, 0.0, 0, v}; }
inline Expect low16(int16_t v) { return {Expect::Low16, 0.0, 0, static_cast<uint16_t>(v)}; }
inline Expect noResult() { return {Expect::None}; }
inline Expect dblResult(double d) { return {Expect::Double, d}; }
inline Expect address(size_t index) { return {Expect::Address, 0.0, index}; }

struct IoCase {
    const char* name;
    std::vector<Arg> args = {};
    std::vector<Mem> mem = {};
    uint32_t code = 0;
    uint32_t lParam = 0;
    Bytes payload = {};
    Reply reply = scribble();
    Expect result = answer();
    bool refused = false;  // nothing may arrive, 0 comes back, no buffer changes
};

// A row whose call must be refused before any request.
// `result` says how the 0 comes back (low16() for 16-bit results, whose upper
// half carries no meaning; dblResult(0.0) for doubles).
inline IoCase refusal(const char* name, std::vector<Arg> args, std::vector<Mem> mem = {}, Expect result = answer()) {
    IoCase c{name, std::move(args), std::move(mem)};
    c.refused = true;
    c.result = result;
    return c;
}

// The caller's side of one row: guarded buffers and array descriptors.
class CallerMemory {
public:
    explicit CallerMemory(const std::vector<Mem>& mem) : store_(mem.size()), arrays_(mem.size()), vars_(mem.size()) {
        for (size_t i = 0; i < mem.size(); ++i) {
            store_[i] = mem[i].before.b;
            store_[i].insert(store_[i].end(), kGuardSize, kGuardByte);
            arrays_[i] = SAFEARRAY{};
            arrays_[i].cDims = 1;
            arrays_[i].cbElements = 1;
            arrays_[i].pvData = store_[i].data();
            arrays_[i].rgsabound[0].cElements = static_cast<ULONG>(mem[i].before.size());
            vars_[i] = &arrays_[i];
        }
    }
    ~CallerMemory() {
        for (BSTR* v : strings_) ::SysFreeString(*v);
        for (SAFEARRAY** v : ownArrays_) ::SafeArrayDestroy(*v);
    }
    CallerMemory(const CallerMemory&) = delete;
    CallerMemory& operator=(const CallerMemory&) = delete;

    uint8_t* data(size_t i) { return store_.at(i).data(); }
    SAFEARRAY** variable(size_t i) { return &vars_.at(i); }
    // The argument slots; the arguments' own memory is made here and lives
    // as long as this object.  Call once per CallerMemory.
    Slots slots(const std::vector<Arg>& args) {
        Slots s;
        for (const Arg& a : args) {
            switch (a.kind) {
            case Arg::Slot: s.u32(a.slot); break;
            case Arg::Double: s.f64(a.d); break;
            case Arg::Int64: s.i64(a.i); break;
            case Arg::Buffer: s.ptr(data(a.buffer)); break;
            case Arg::Array: s.ptr(variable(a.buffer)); break;
            case Arg::Own:
            case Arg::Out: s.ptr(place(a.before)); break;
            case Arg::Shape: {
                const uint8_t* text = a.shapeText ? place(Bytes{}.str(*a.shapeText)) : nullptr;
                s.ptr(place(Bytes(a.before).u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)))));
                break;
            }
            case Arg::StrVar: {
                BSTR* v = &stringVars_.emplace_back(
                    ::SysAllocStringByteLen(a.text.data(), static_cast<UINT>(a.text.size())));
                strings_.push_back(v);
                original_.push_back(*v);
                s.ptr(v);
                break;
            }
            case Arg::OwnArray: {
                SAFEARRAY* sa = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(a.before.size()));
                if (!a.before.b.empty()) std::memcpy(sa->pvData, a.before.b.data(), a.before.size());
                SAFEARRAY** v = &arrayVars_.emplace_back(sa);
                ownArrays_.push_back(v);
                s.ptr(v);
                break;
            }
            }
        }
        return s;
    }
    // The arguments' own memory after the call: every own buffer holds its
    // `after` bytes with its guard intact; an out() record the bytes at its
    // offset of `written` (the payload area as the host left it; null for a
    // call that must not have been answered), else its own; a StringShape and
    // its text their own; every string variable holds its expected text (or
    // its untouched string).
    void checkArgs(const std::vector<Arg>& args, const std::vector<uint8_t>* written = nullptr) const {
        size_t nb = 0, ns = 0;
        auto expectOwn = [&](const Bytes& expected) {
            const auto& b = own_.at(nb++);
            std::vector<uint8_t> want(expected.size() + kGuardSize, kGuardByte);
            std::copy(expected.b.begin(), expected.b.end(), want.begin());
            EXPECT_EQ(hex(b, b.size()), hex(want, want.size()));
        };
        for (size_t i = 0; i < args.size(); ++i) {
            const Arg& a = args[i];
            SCOPED_TRACE("argument " + std::to_string(i));
            if (a.kind == Arg::Own) {
                expectOwn(a.after);
            } else if (a.kind == Arg::Out) {
                Bytes expected = a.before;
                if (written) {
                    ASSERT_LE(a.from + a.before.size(), written->size());
                    expected.b.assign(written->begin() + a.from, written->begin() + a.from + a.before.size());
                    EXPECT_NE(expected.b, a.before.b) << "pattern cannot tell a copy-back here";
                }
                expectOwn(expected);
            } else if (a.kind == Arg::Shape) {
                // the record still names its own text (placed just before it)
                const uint8_t* text = nullptr;
                if (a.shapeText) {
                    text = own_.at(nb).data();
                    expectOwn(Bytes{}.str(*a.shapeText));
                }
                expectOwn(Bytes(a.before).u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text))));
            } else if (a.kind == Arg::StrVar) {
                const BSTR s = *strings_.at(ns);
                const BSTR original = original_.at(ns++);
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
    // The buffer holds `expected` and its guard bytes are intact.
    void check(size_t i, const Bytes& expected) const {
        const std::vector<uint8_t>& m = store_[i];
        const size_t n = expected.size();
        EXPECT_TRUE(std::equal(expected.b.begin(), expected.b.end(), m.begin()))
            << "buffer " << i << " holds " << hex(m, n) << "\nexpected       " << hex(expected.b, n);
        for (size_t k = n; k < m.size(); ++k)
            if (m[k] != kGuardByte) {
                ADD_FAILURE() << "buffer " << i << ": byte " << k - n << " behind its " << n << " bytes was written";
                break;
            }
    }

private:
    // Own memory of an argument, followed by its guard.
    uint8_t* place(const Bytes& content) {
        auto& b = own_.emplace_back(content.size() + kGuardSize, kGuardByte);
        std::copy(content.b.begin(), content.b.end(), b.begin());
        return b.data();
    }

    std::vector<std::vector<uint8_t>> store_;
    std::vector<SAFEARRAY> arrays_;
    std::vector<SAFEARRAY*> vars_;
    std::deque<std::vector<uint8_t>> own_;
    std::deque<BSTR> stringVars_;
    std::vector<BSTR*> strings_;
    std::vector<BSTR> original_;
    std::deque<SAFEARRAY*> arrayVars_;
    std::vector<SAFEARRAY**> ownArrays_;
};

// Runs a row on caller memory made beforehand from c.mem (for rows whose
// buffers hold addresses of other buffers).
inline void runIoCase(RecordingHost& host, const IoCase& c, CallerMemory& memory) {
    SCOPED_TRACE(c.name);
    host.clear();
    // A refused row gets a host that would answer and write, so that a
    // request sent anyway shows in the caller's memory too.
    host.reply(c.refused ? Reply{0xFFFFFFFF}.write(0, Bytes{}.fill(0x77, 64)) : c.reply);
    const CallResult r = host.call(c.name, memory.slots(c.args), c.result.kind == Expect::Double);
    std::vector<uint8_t> written;  // the payload area as the host left it
    if (c.refused) {
        EXPECT_TRUE(host.requests().empty()) << "a refused call sent a request";
    } else {
        ASSERT_EQ(host.requests().size(), 1u);
        expectRequest(host.requests()[0], c.code, c.lParam, c.payload);
        written = host.requests()[0].payload;
        for (const auto& [offset, bytes] : c.reply.writes) {
            if (written.size() < offset + bytes.size()) written.resize(offset + bytes.size());
            std::copy(bytes.begin(), bytes.end(), written.begin() + offset);
        }
    }
    for (size_t i = 0; i < c.mem.size(); ++i)
        memory.check(i, c.refused || c.mem[i].after.size() == 0 ? c.mem[i].before : c.mem[i].after);
    memory.checkArgs(c.args, c.refused ? nullptr : &written);
    const uint32_t want = c.result.value.value_or(c.reply.answer);
    switch (c.result.kind) {
    case Expect::Answer: EXPECT_EQ(r.eax, c.refused ? 0u : want); break;
    case Expect::Low16: EXPECT_EQ(r.low16(), c.refused ? 0 : static_cast<int16_t>(want)); break;
    case Expect::Negated16: EXPECT_EQ(r.i32(), c.refused ? 0 : static_cast<int32_t>(want)); break;
    case Expect::None: break;
    case Expect::Double: EXPECT_EQ(r.st0, c.result.d); break;
    case Expect::Address:
        EXPECT_EQ(r.eax, c.refused ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory.data(c.result.buffer))));
        break;
    }
}

inline void runIoCase(RecordingHost& host, const IoCase& c) {
    CallerMemory memory(c.mem);
    runIoCase(host, c, memory);
}

}  // namespace kavtest
