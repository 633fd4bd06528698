// The row harness of the family tests: one row per call of an export.
//
// A row (IoCase) gives the argument slots and the caller memory they point
// to (contents before the call and the bytes they must hold afterwards), the
// request that must arrive, the host's reply and the result.  Every buffer is
// followed by guard bytes that must survive; the host's reply usually writes
// a counting pattern over the payload area, so that a copy-back from the
// wrong offset, of the wrong size, or of an input-only segment shows.  A
// refused row must send nothing, return 0 and leave every byte of the
// caller's memory as it was.  Every row records the line it is written on:
// write rows as `IoCase{...}` (or through refusal()/Blocks{...}) so that a
// failure names that line, and prints the expected and actual bytes from the
// first offset at which they differ.
//
// Arguments carry their caller memory themselves: a buffer with its bytes
// before and after the call (txt for a text), a record that comes back from
// a payload offset (out), a StringShape with its text, a string variable with
// its text before and, where it must change, after, or an array variable
// whose data holds given bytes.  Older rows name buffers of `mem` by index
// (buf(i), arr(i)) instead.
//
// Blocks rows describe the geometry families compactly by where each block
// lies (see Blocks below) and are run through the same IoCase runner.
#pragma once
#include "byte_diff.h"
#include "caller_memory.h"
#include "kavlink_table.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <algorithm>
#include <cstring>
#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <vector>

namespace kavtest {

inline constexpr uint32_t kAnswer = 0x7A5B0003;  // high half set, low half 3
inline constexpr uint8_t kScribbleSeed = 0x40;

inline std::string hex(const std::vector<uint8_t>& v, size_t n) { return hexRun(v, 0, n); }

// "file.cpp:123" of a row.
inline std::string lineOf(const std::source_location& where) {
    std::string file = where.file_name();
    if (const size_t slash = file.find_last_of("/\\"); slash != std::string::npos) file.erase(0, slash + 1);
    return file + ":" + std::to_string(where.line());
}

// Checks one request against the expectation; use inside a test.
inline void expectRequest(const Recorded& r, uint32_t code, uint32_t lParam, const Bytes& payload) {
    EXPECT_EQ(r.message, 1534u);
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.lParam, lParam);
    if (!r.equals(payload)) {
        std::vector<uint8_t> sent(r.payload.begin(), r.payload.begin() + static_cast<std::ptrdiff_t>(
                                                                          std::max(r.length(), payload.size())));
        ADD_FAILURE() << "payload sent: " << r.length() << " bytes, expected " << payload.size() << "; "
                      << firstDifference(payload.b, sent);
    }
}

// A refusal: 0 returned and no request at all.
inline void expectRefused(RecordingHost& host, const char* name, const Slots& args,
                          std::source_location where = std::source_location::current()) {
    ::testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), name);
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
    enum Kind { Slot, Double, Int64, Buffer, Array, Own, StrVar, OwnArray, Out, Shape, NoData } kind = Slot;
    uint32_t slot = 0;
    double d = 0.0;
    int64_t i = 0;
    size_t buffer = 0;
    Bytes before = {};                       // Own, Out, OwnArray: caller bytes before the call
    Bytes after = {};                        // Own, OwnArray: caller bytes the call must leave
    std::string text = {};                   // StrVar: text before the call
    std::optional<std::string> result = {};  // StrVar: text after (nullopt: the same string, untouched)
    uint32_t from = 0;                       // Out: payload offset the record comes back from
    std::optional<std::string> shapeText = {};  // Shape: its text (nullopt: null text reference)
    bool asArray = false;                    // Out: an array variable over the record
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
// The same as the data of an array variable.
inline Arg outArray(Bytes before, uint32_t from) {
    Arg a = out(std::move(before), from);
    a.asArray = true;
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
// An array variable of the argument's own whose data holds `data` (and
// still holds it after the call, its guard intact).
inline Arg array(Bytes data) {
    Arg a;
    a.kind = Arg::OwnArray;
    a.before = data;
    a.after = std::move(data);
    return a;
}
// An array variable whose descriptor names no data.
inline Arg noData() {
    Arg a;
    a.kind = Arg::NoData;
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
inline Expect negated16(int32_t v) { return {Expect::Negated16, 0.0, 0, static_cast<uint32_t>(v)}; }
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
    std::source_location where = std::source_location::current();
};

// A row whose call must be refused before any request.
// `result` says how the 0 comes back (low16() for 16-bit results, whose upper
// half carries no meaning; dblResult(0.0) for doubles).
inline IoCase refusal(const char* name, std::vector<Arg> args, std::vector<Mem> mem = {}, Expect result = answer(),
                      std::source_location where = std::source_location::current()) {
    IoCase c{name, std::move(args), std::move(mem)};
    c.refused = true;
    c.result = result;
    c.where = where;
    return c;
}

// The caller's side of one row, built on CallerMemory: the row's `mem`
// buffers with an array variable over each, and the arguments' own memory.
class RowMemory {
public:
    explicit RowMemory(const std::vector<Mem>& mem) {
        for (const Mem& m : mem) {
            mem_.push_back(memory_.place(m.before.b));
            vars_.push_back(memory_.arrayVariable(mem_.back(), m.before.size()));
        }
    }

    uint8_t* data(size_t i) { return mem_.at(i); }
    SAFEARRAY** variable(size_t i) { return vars_.at(i); }
    // The argument slots; the arguments' own memory is made here and lives
    // as long as this object.  Call once per RowMemory.
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
            case Arg::Out:
                if (a.asArray) s.ptr(memory_.arrayVariable(place(a.before), a.before.size()));
                else s.ptr(place(a.before));
                break;
            case Arg::OwnArray: s.ptr(memory_.arrayVariable(place(a.before), a.before.size())); break;
            case Arg::NoData: s.ptr(memory_.arrayVariable(nullptr, 0)); break;
            case Arg::Shape: {
                const uint8_t* text = a.shapeText ? place(Bytes{}.str(*a.shapeText)) : nullptr;
                s.ptr(place(Bytes(a.before).u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)))));
                break;
            }
            case Arg::StrVar: {
                BSTR* v = memory_.stringVariable(a.text);
                strings_.push_back(v);
                original_.push_back(*v);
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
    // its untouched string).  `hostWrote` tells the bytes the host itself
    // wrote, so that an out() record that the reply does not reach is not
    // taken for a failed copy-back.
    void checkArgs(const std::vector<Arg>& args, const std::vector<uint8_t>* written = nullptr,
                   const std::vector<bool>* hostWrote = nullptr) const {
        size_t nb = 0, ns = 0;
        auto expectOwn = [&](const Bytes& expected, size_t argument) {
            const std::string diff = firstDifference(CallerMemory::guarded(expected.b), memory_.now(own_.at(nb++)));
            EXPECT_TRUE(diff.empty()) << "argument " << argument << " (" << expected.size() << " bytes and " << kGuardSize
                                      << " guard bytes) after the call: " << diff;
        };
        for (size_t i = 0; i < args.size(); ++i) {
            const Arg& a = args[i];
            if (a.kind == Arg::Own || a.kind == Arg::OwnArray) {
                expectOwn(a.after, i);
            } else if (a.kind == Arg::Out) {
                Bytes expected = a.before;
                if (written) {
                    ASSERT_LE(a.from + a.before.size(), written->size()) << "argument " << i;
                    expected.b.assign(written->begin() + a.from, written->begin() + a.from + a.before.size());
                    const bool reached = hostWrote && std::any_of(hostWrote->begin() + a.from,
                                                                  hostWrote->begin() + a.from + a.before.size(),
                                                                  [](bool w) { return w; });
                    if (reached) {
                        EXPECT_NE(expected.b, a.before.b) << "argument " << i << ": the pattern cannot tell a copy-back here";
                    }
                }
                expectOwn(expected, i);
            } else if (a.kind == Arg::Shape) {
                // the record still names its own text (placed just before it)
                const uint8_t* text = nullptr;
                if (a.shapeText) {
                    text = own_.at(nb);
                    expectOwn(Bytes{}.str(*a.shapeText), i);
                }
                expectOwn(Bytes(a.before).u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text))), i);
            } else if (a.kind == Arg::StrVar) {
                const BSTR s = *strings_.at(ns);
                const BSTR original = original_.at(ns++);
                if (!a.result) {
                    EXPECT_EQ(s, original) << "argument " << i << ": string variable replaced";
                    EXPECT_EQ(::SysStringByteLen(s), a.text.size());
                } else {
                    ASSERT_NE(s, nullptr) << "argument " << i;
                    EXPECT_EQ(::SysStringByteLen(s), a.result->size()) << "argument " << i;
                    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s), ::SysStringByteLen(s)), *a.result)
                        << "argument " << i;
                    EXPECT_EQ(reinterpret_cast<const char*>(s)[a.result->size()], '\0') << "argument " << i << ": no terminator";
                }
            }
        }
    }
    // The buffer holds `expected` and its guard bytes are intact.
    void check(size_t i, const Bytes& expected) const {
        const std::vector<uint8_t>& now = memory_.now(mem_.at(i));
        std::vector<uint8_t> want(expected.b);
        want.insert(want.end(), now.size() - std::min(now.size(), want.size()), kGuardByte);
        const std::string diff = firstDifference(want, now);
        EXPECT_TRUE(diff.empty()) << "buffer " << i << " (" << expected.size() << " bytes and " << kGuardSize
                                  << " guard bytes) after the call: " << diff;
    }

private:
    uint8_t* place(const Bytes& content) { return own_.emplace_back(memory_.place(content.b)); }

    CallerMemory memory_;
    std::vector<uint8_t*> mem_;
    std::vector<SAFEARRAY**> vars_;
    std::vector<uint8_t*> own_;
    std::vector<BSTR*> strings_;
    std::vector<BSTR> original_;
};

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, 8) == 0; }
inline double asDouble(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

// Runs a row on caller memory made beforehand from c.mem (for rows whose
// buffers hold addresses of other buffers).
inline void runIoCase(RecordingHost& host, const IoCase& c, RowMemory& memory) {
    ::testing::ScopedTrace trace(c.where.file_name(), static_cast<int>(c.where.line()), c.name);
    host.clear();
    // A refused row gets a host that would answer and write, so that a
    // request sent anyway shows in the caller's memory too.
    host.reply(c.refused ? Reply{0xFFFFFFFF}.write(0, Bytes{}.fill(0x77, 64)) : c.reply);
    const Slots slots = memory.slots(c.args);
    if (const kavtable::Export* e = kavtable::findExport(c.name)) {
        EXPECT_EQ(slots.v.size() * 4, e->argBytes)
            << "the row passes " << slots.v.size() << " slots; api/kavlink.exports:" << e->line << " says "
            << e->argBytes / 4;
    } else {
        ADD_FAILURE() << c.name << " is not in api/kavlink.exports";
    }
    const CallResult r = host.call(c.name, slots, c.result.kind == Expect::Double);
    std::vector<uint8_t> written;  // the payload area as the host left it
    std::vector<bool> hostWrote;
    if (c.refused) {
        EXPECT_TRUE(host.requests().empty()) << "a refused call sent a request";
    } else {
        ASSERT_EQ(host.requests().size(), 1u);
        expectRequest(host.requests()[0], c.code, c.lParam, c.payload);
        written = host.requests()[0].payload;
        hostWrote.assign(written.size(), false);
        for (const auto& [offset, bytes] : c.reply.writes) {
            if (written.size() < offset + bytes.size()) {
                written.resize(offset + bytes.size());
                hostWrote.resize(offset + bytes.size());
            }
            std::copy(bytes.begin(), bytes.end(), written.begin() + offset);
            std::fill(hostWrote.begin() + offset, hostWrote.begin() + offset + bytes.size(), true);
        }
    }
    for (size_t i = 0; i < c.mem.size(); ++i)
        memory.check(i, c.refused || c.mem[i].after.size() == 0 ? c.mem[i].before : c.mem[i].after);
    memory.checkArgs(c.args, c.refused ? nullptr : &written, c.refused ? nullptr : &hostWrote);
    const uint32_t want = c.result.value.value_or(c.reply.answer);
    switch (c.result.kind) {
    case Expect::Answer: EXPECT_EQ(r.eax, c.refused ? 0u : want); break;
    case Expect::Low16: EXPECT_EQ(r.low16(), c.refused ? 0 : static_cast<int16_t>(want)); break;
    case Expect::Negated16: EXPECT_EQ(r.i32(), c.refused ? 0 : static_cast<int32_t>(want)); break;
    case Expect::None: break;
    case Expect::Double:
        EXPECT_TRUE(sameBits(r.st0, c.result.d) || r.st0 == c.result.d)
            << "returned " << r.st0 << ", expected " << c.result.d;
        break;
    case Expect::Address:
        EXPECT_EQ(r.eax, c.refused ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory.data(c.result.buffer))));
        break;
    }
}

inline void runIoCase(RecordingHost& host, const IoCase& c) {
    RowMemory memory(c.mem);
    runIoCase(host, c, memory);
}

// ---- block rows ---------------------------------------------------------------
//
// A Blocks row lists the payload blocks of a geometry export in payload
// order, each tied to the argument that supplies it:
//
//   r<N>@k   record of N bytes by reference (argument k)
//   B@k      the four B-spline blocks: r28@k r880@k+1 r1760@k+2 r880@k+3
//   a<N>@k   array variable whose element data moves N bytes
//   P@k      array variable whose first `count` PointShapes move
//   p@k      `count` PointShapes by reference to the first
//   t@k      zero-terminated text
//   d@k      double by value (8 bytes)
//   i@k      32-bit integer by value (4 bytes)
//   h@k      16-bit integer by value (2 bytes; the slot's high half is junk)
//   n@k      the row's `count` as a 16-bit value block (high half junk)
//   R        the function's own 8-byte result place
//   L@k      32-bit argument sent as lParam (no payload bytes)
//   S@k, Z@k the row's `count` sent as sign- / zero-extended 16-bit lParam
//
// Each caller block gets distinct bytes; the row becomes an IoCase whose host
// writes a pattern over the whole request, and every block comes back from
// its offset (Back::All) or stays as it was (Back::None).

enum class Back { All, None };
enum class Res { Host, Negated16, Double };

struct Blocks {
    const char* name;
    uint32_t code;
    const char* layout;
    Back back = Back::All;
    Res result = Res::Host;
    double preset = 0.0;  // result when the host leaves the result place untouched
    int presetArg = -1;   // ... or the double argument with this index
    int32_t count = 0;
    std::source_location where = std::source_location::current();
};

inline std::ostream& operator<<(std::ostream& os, const Blocks& r) { return os << r.name << " (" << lineOf(r.where) << ")"; }

inline uint8_t blockHostByte(size_t offset) { return static_cast<uint8_t>(0x5B + offset * 11); }

// The IoCase of a Blocks row.  `hostWrites`: the host writes its pattern over
// the whole request (else it writes nothing, and every block comes back as it
// was sent).  `nullArg` >= 0: that address argument is null (`noDataArray`:
// an array variable without data instead), and the row is refused.
inline IoCase blocksCase(const Blocks& row, bool hostWrites = true, int nullArg = -1, bool noDataArray = false) {
    IoCase c{row.name};
    c.where = row.where;
    c.code = row.code;
    std::vector<std::optional<Arg>> args;
    std::vector<double> doubles;
    std::vector<bool> pointer;
    auto at = [&](int k) -> std::optional<Arg>& {
        if (args.size() <= static_cast<size_t>(k)) {
            args.resize(k + 1);
            doubles.resize(k + 1);
            pointer.resize(k + 1);
        }
        return args[k];
    };
    const uint32_t countSlot = 0xABCD0000u | static_cast<uint16_t>(row.count);
    const size_t listSize = row.count < 0 ? 0u : 16u * static_cast<uint32_t>(row.count);
    size_t resultOffset = SIZE_MAX;
    auto block = [&](int k, size_t size, bool isArray) {
        Bytes b;
        for (size_t i = 0; i < size; ++i) b.u8(static_cast<uint8_t>(0x21 + 29 * k + 3 * i + (i >> 8)));
        const uint32_t offset = static_cast<uint32_t>(c.payload.size());
        c.payload.raw(b.b.data(), b.size());
        at(k) = row.back == Back::All ? (isArray ? outArray(b, offset) : out(b, offset)) : (isArray ? array(b) : buf(b));
        pointer[k] = true;
    };
    std::istringstream in(row.layout);
    for (std::string tok; in >> tok;) {
        const char kind = tok[0];
        const size_t atSign = tok.find('@');
        const int k = atSign == std::string::npos ? -1 : std::stoi(tok.substr(atSign + 1));
        const size_t n = atSign > 1 && atSign != std::string::npos ? std::stoul(tok.substr(1, atSign - 1)) : 0;
        switch (kind) {
        case 'r': block(k, n, false); break;
        case 'B':
            block(k, 28, false);
            block(k + 1, 880, false);
            block(k + 2, 1760, false);
            block(k + 3, 880, false);
            break;
        case 'a': block(k, n, true); break;
        case 'P': block(k, static_cast<uint16_t>(row.count) * 16u, true); break;
        case 'p': block(k, listSize, false); break;
        case 't': {
            const std::string s(3 + k, static_cast<char>('a' + k));
            const Bytes b = Bytes{}.str(s);
            const uint32_t offset = static_cast<uint32_t>(c.payload.size());
            c.payload.raw(b.b.data(), b.size());
            at(k) = row.back == Back::All ? out(b, offset) : buf(b);
            pointer[k] = true;
            break;
        }
        case 'd': {
            const double v = 1000.25 + 3.5 * k;
            at(k) = dbl(v);
            doubles[k] = v;
            c.payload.f64(v);
            break;
        }
        case 'i':
            at(k) = slot(0x11220000u + k);
            c.payload.u32(0x11220000u + k);
            break;
        case 'h':
            at(k) = slot(0x5A5A0000u | (0x0100u + k));
            c.payload.u16(static_cast<uint16_t>(0x0100 + k));
            break;
        case 'n':
            at(k) = slot(countSlot);
            c.payload.u16(static_cast<uint16_t>(row.count));
            break;
        case 'R':
            resultOffset = c.payload.size();
            c.payload.f64(0.0);  // the preset, filled in below
            break;
        case 'L':
            at(k) = slot(0x0BADF000u + k);
            c.lParam = 0x0BADF000u + k;
            break;
        case 'S':
            at(k) = slot(countSlot);
            c.lParam = static_cast<uint32_t>(int32_t{static_cast<int16_t>(row.count)});
            break;
        case 'Z':
            at(k) = slot(countSlot);
            c.lParam = static_cast<uint16_t>(row.count);
            break;
        default: ADD_FAILURE() << row << ": bad layout token " << tok;
        }
    }
    // The result place's preset may name a double placed after it.
    const double preset = row.presetArg >= 0 ? doubles.at(row.presetArg) : row.preset;
    if (resultOffset != SIZE_MAX) std::memcpy(c.payload.b.data() + resultOffset, &preset, 8);

    for (size_t k = 0; k < args.size(); ++k) {
        Arg a = args[k].value_or(nul());
        if (static_cast<int>(k) == nullArg) a = noDataArray ? noData() : nul();
        c.args.push_back(a);
    }
    Bytes written;
    for (size_t i = 0; i < c.payload.size(); ++i) written.u8(blockHostByte(i));
    c.reply = hostWrites ? Reply{kAnswer}.write(0, written) : Reply{kAnswer};
    switch (row.result) {
    case Res::Host: c.result = answer(kAnswer); break;
    case Res::Negated16: c.result = negated16(-static_cast<int32_t>(kAnswer & 0xFFFF)); break;
    case Res::Double: {
        double d = preset;
        if (hostWrites && resultOffset != SIZE_MAX) std::memcpy(&d, written.b.data() + resultOffset, 8);
        c.result = dblResult(d);
        break;
    }
    }
    if (nullArg >= 0) {
        c.refused = true;
        if (row.result == Res::Double) c.result = dblResult(0.0);
        else c.result = answer(0);
    }
    return c;
}

// The whole row: request, copy-back with a writing host, result, presets with
// a silent host.
inline void runBlocks(RecordingHost& host, const Blocks& row) {
    runIoCase(host, blocksCase(row, true));
    runIoCase(host, blocksCase(row, false));
}

// Every address the export would read is refused when null, and so is an
// array whose descriptor names no data.
inline void runNullRefusals(RecordingHost& host, const Blocks& row) {
    const IoCase whole = blocksCase(row);
    for (size_t k = 0; k < whole.args.size(); ++k) {
        const Arg& a = whole.args[k];
        if (a.kind != Arg::Own && a.kind != Arg::Out && a.kind != Arg::OwnArray) continue;
        SCOPED_TRACE("argument " + std::to_string(k) + " null");
        runIoCase(host, blocksCase(row, true, static_cast<int>(k)));
        const bool array = a.kind == Arg::OwnArray || a.asArray;
        if (array && a.before.size() > 0) {
            SCOPED_TRACE("array " + std::to_string(k) + " without data");
            runIoCase(host, blocksCase(row, true, static_cast<int>(k), true));
        }
    }
}

// A row whose count cannot be carried.
inline void expectCountRefused(RecordingHost& host, const Blocks& row) {
    SCOPED_TRACE("count " + std::to_string(row.count));
    IoCase c = blocksCase(row);
    c.refused = true;
    c.result = row.result == Res::Double ? dblResult(0.0) : answer(0);
    runIoCase(host, c);
}

}  // namespace kavtest
