// Rows for exports that read or write the caller's memory.  Each row gives
// the caller's buffers (contents before the call and the bytes they must hold
// afterwards), the argument slots (values, doubles, buffer addresses, array
// variables over buffers), the request that must arrive, the host's reply and
// the result.  Every buffer is followed by guard bytes that must survive, and
// the host's reply usually scribbles a counting pattern over the payload area
// so that a copy-back from the wrong offset, of the wrong size, or of an
// input-only segment shows.
#pragma once
#include "family_case.h"

#include <ole2.h>
#include <cstring>
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

struct Arg {
    enum Kind { Slot, Double, Int64, Buffer, Array } kind = Slot;
    uint32_t slot = 0;
    double d = 0.0;
    int64_t i = 0;
    size_t buffer = 0;
};
inline Arg slot(uint32_t v) { return {Arg::Slot, v}; }
inline Arg dbl(double d) { return {Arg::Double, 0, d}; }
inline Arg i64(int64_t i) { return {Arg::Int64, 0, 0.0, i}; }
inline Arg buf(size_t index) { return {Arg::Buffer, 0, 0.0, 0, index}; }  // the buffer's address
inline Arg arr(size_t index) { return {Arg::Array, 0, 0.0, 0, index}; }   // an array variable over it
inline Arg nul() { return slot(0); }

// A caller buffer: its bytes before the call and after it (empty: unchanged).
struct Mem {
    Bytes before;
    Bytes after = {};
};

struct Expect {
    enum Kind { Answer, Low16, Double, Address } kind = Answer;
    double d = 0.0;
    size_t buffer = 0;
};
inline Expect answer() { return {}; }
inline Expect low16() { return {Expect::Low16}; }
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
    uint8_t* data(size_t i) { return store_.at(i).data(); }
    SAFEARRAY** variable(size_t i) { return &vars_.at(i); }
    Slots slots(const std::vector<Arg>& args) {
        Slots s;
        for (const Arg& a : args) {
            switch (a.kind) {
            case Arg::Slot: s.u32(a.slot); break;
            case Arg::Double: s.f64(a.d); break;
            case Arg::Int64: s.i64(a.i); break;
            case Arg::Buffer: s.ptr(data(a.buffer)); break;
            case Arg::Array: s.ptr(variable(a.buffer)); break;
            }
        }
        return s;
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
    std::vector<std::vector<uint8_t>> store_;
    std::vector<SAFEARRAY> arrays_;
    std::vector<SAFEARRAY*> vars_;
};

// Runs a row on caller memory made beforehand from c.mem (for rows whose
// buffers hold addresses of other buffers).
inline void runIoCase(RecordingHost& host, const IoCase& c, CallerMemory& memory) {
    SCOPED_TRACE(c.name);
    host.clear();
    if (!c.refused) host.reply(c.reply);
    const CallResult r = host.call(c.name, memory.slots(c.args), c.result.kind == Expect::Double);
    if (c.refused) {
        EXPECT_TRUE(host.requests().empty()) << "a refused call sent a request";
    } else {
        ASSERT_EQ(host.requests().size(), 1u);
        expectRequest(host.requests()[0], c.code, c.lParam, c.payload);
    }
    for (size_t i = 0; i < c.mem.size(); ++i)
        memory.check(i, c.refused || c.mem[i].after.size() == 0 ? c.mem[i].before : c.mem[i].after);
    switch (c.result.kind) {
    case Expect::Answer: EXPECT_EQ(r.eax, c.refused ? 0u : c.reply.answer); break;
    case Expect::Low16: EXPECT_EQ(r.low16(), c.refused ? 0 : static_cast<int16_t>(c.reply.answer)); break;
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
