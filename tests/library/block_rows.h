// Rows for the geometry families, whose exports differ mostly in which blocks
// they place where.  A row lists the payload blocks in payload order, each
// tied to the argument that supplies it:
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
// The driver builds distinct bytes for every argument with guard bytes after
// each caller block, checks the request byte for byte, lets the host write a
// pattern over the whole request and checks what comes back (every block for
// Back::All, nothing for Back::None), the guards, and the result.
#pragma once
#include "export_table.h"
#include "family_case.h"

#include <oleauto.h>
#include <cstdint>
#include <cstring>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

namespace kavtest::rows {

enum class Back { All, None };
enum class Res { Host, Negated16, Double };

struct Row {
    const char* name;
    uint32_t code;
    const char* layout;
    Back back = Back::All;
    Res result = Res::Host;
    double preset = 0.0;  // result when the host leaves the result place untouched
    int presetArg = -1;   // ... or the double argument with this index
    int32_t count = 0;
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) { return os << r.name; }

inline constexpr size_t kGuard = 8;
inline constexpr uint8_t kGuardByte = 0xEE;

inline uint8_t hostPattern(size_t offset) { return static_cast<uint8_t>(0x5B + offset * 11); }

// One built call of a row.
class Call {
public:
    explicit Call(const Row& row) : row_(row) { build(); }

    Slots slots(int nullArg = -1, bool nullData = false) const {
        Slots s;
        for (size_t k = 0; k < args_.size(); ++k) {
            const Arg& a = args_[k];
            if (static_cast<int>(k) == nullArg && a.pointer) {
                if (nullData && a.descriptor) {
                    nullDescriptor_ = *a.descriptor;
                    nullDescriptor_.pvData = nullptr;
                    nullVariable_ = &nullDescriptor_;
                    s.ptr(&nullVariable_);
                } else {
                    s.u32(0);
                }
                continue;
            }
            for (uint32_t x : a.slots) s.u32(x);
        }
        return s;
    }
    uint32_t lParam() const { return lParam_; }
    const Bytes& expected() const { return expected_; }
    size_t total() const { return expected_.size(); }
    size_t resultOffset() const { return resultOffset_; }
    double presetValue() const { return row_.presetArg >= 0 ? doubleArg_[row_.presetArg] : row_.preset; }

    // Arguments that are addresses, and those that are array variables.
    std::vector<int> pointerArgs() const {
        std::vector<int> v;
        for (size_t k = 0; k < args_.size(); ++k)
            if (args_[k].pointer) v.push_back(static_cast<int>(k));
        return v;
    }
    bool isArray(int k) const { return args_[k].descriptor != nullptr; }
    bool arrayMovesBytes(int k) const {
        for (const Block& b : blocks_)
            if (b.arg == k && b.size > 0) return true;
        return false;
    }

    // Each caller block holds its original bytes (or the host's pattern for
    // `fromHost`), and every guard is intact.
    void expectCallerBlocks(bool fromHost) const {
        for (const Block& b : blocks_) {
            if (b.buffer < 0) continue;
            const std::vector<uint8_t>& buf = buffers_[b.buffer];
            for (size_t i = 0; i < b.size; ++i) {
                const uint8_t want = fromHost ? hostPattern(b.offset + i) : originals_[b.buffer][i];
                if (buf[i] != want) {
                    ADD_FAILURE() << row_.name << ": argument " << b.arg << " byte " << i << " is " << int(buf[i])
                                  << ", expected " << int(want);
                    break;
                }
            }
            for (size_t i = b.size; i < buf.size(); ++i)
                if (buf[i] != kGuardByte) {
                    ADD_FAILURE() << row_.name << ": guard after argument " << b.arg << " overwritten at +" << (i - b.size);
                    break;
                }
        }
    }
    void restore() {
        for (size_t i = 0; i < buffers_.size(); ++i) buffers_[i] = originals_[i];
    }

private:
    struct Arg {
        std::vector<uint32_t> slots;
        bool pointer = false;
        SAFEARRAY* descriptor = nullptr;
    };
    struct Block {
        int arg;
        uint32_t offset;
        uint32_t size;
        int buffer;  // caller buffer, or -1 for bytes that live in slots
    };

    Arg& arg(int k) {
        if (args_.size() <= static_cast<size_t>(k)) {
            args_.resize(k + 1);
            doubleArg_.resize(k + 1);
        }
        return args_[k];
    }
    int newBuffer(size_t size, int seed) {
        std::vector<uint8_t> b(size + kGuard, kGuardByte);
        for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(0x21 + 29 * seed + 3 * i + (i >> 8));
        buffers_.push_back(b);
        originals_.push_back(b);
        return static_cast<int>(buffers_.size() - 1);
    }
    void addRecord(int k, uint32_t size) {
        const int buf = newBuffer(size, k);
        Arg& a = arg(k);
        a.pointer = true;
        a.slots = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffers_[buf].data()))};
        place(k, size, buf);
    }
    void addArray(int k, uint32_t size) {
        const int buf = newBuffer(size, k);
        SAFEARRAY& d = descriptors_.emplace_back();
        std::memset(&d, 0, sizeof d);
        d.cDims = 1;
        d.cbElements = 16;
        d.pvData = buffers_[buf].data();
        d.rgsabound[0].cElements = size / 16;
        SAFEARRAY*& var = variables_.emplace_back(&d);
        Arg& a = arg(k);
        a.pointer = true;
        a.descriptor = &d;
        a.slots = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&var))};
        place(k, size, buf);
    }
    void place(int k, uint32_t size, int buf) {
        blocks_.push_back({k, static_cast<uint32_t>(expected_.size()), size, buf});
        if (buf >= 0) expected_.raw(buffers_[buf].data(), size);
    }
    uint32_t countSlot() const { return 0xABCD0000u | static_cast<uint16_t>(row_.count); }
    uint32_t listSize() const { return row_.count < 0 ? 0u : 16u * static_cast<uint32_t>(row_.count); }

    void build() {
        std::istringstream in(row_.layout);
        for (std::string tok; in >> tok;) {
            const char kind = tok[0];
            const size_t at = tok.find('@');
            const int k = at == std::string::npos ? -1 : std::stoi(tok.substr(at + 1));
            const uint32_t n = at > 1 && at != std::string::npos ? static_cast<uint32_t>(std::stoul(tok.substr(1, at - 1))) : 0;
            switch (kind) {
            case 'r': addRecord(k, n); break;
            case 'B':
                addRecord(k, 28);
                addRecord(k + 1, 880);
                addRecord(k + 2, 1760);
                addRecord(k + 3, 880);
                break;
            case 'a': addArray(k, n); break;
            case 'P': addArray(k, static_cast<uint16_t>(row_.count) * 16u); break;
            case 'p': addRecord(k, listSize()); break;
            case 't': {
                const std::string s(3 + k, static_cast<char>('a' + k));
                const int buf = newBuffer(s.size() + 1, k);
                std::memcpy(buffers_[buf].data(), s.c_str(), s.size() + 1);
                originals_[buf] = buffers_[buf];
                arg(k).pointer = true;
                arg(k).slots = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffers_[buf].data()))};
                place(k, static_cast<uint32_t>(s.size() + 1), buf);
                break;
            }
            case 'd': {
                const double v = 1000.25 + 3.5 * k;
                arg(k);
                doubleArg_[k] = v;
                uint32_t h[2];
                std::memcpy(h, &v, 8);
                args_[k].slots = {h[0], h[1]};
                blocks_.push_back({k, static_cast<uint32_t>(expected_.size()), 8, -1});
                expected_.f64(v);
                break;
            }
            case 'i':
                arg(k).slots = {0x11220000u + k};
                blocks_.push_back({k, static_cast<uint32_t>(expected_.size()), 4, -1});
                expected_.u32(0x11220000u + k);
                break;
            case 'h':
                arg(k).slots = {0x5A5A0000u | (0x0100u + k)};
                blocks_.push_back({k, static_cast<uint32_t>(expected_.size()), 2, -1});
                expected_.u16(static_cast<uint16_t>(0x0100 + k));
                break;
            case 'n':
                arg(k).slots = {countSlot()};
                blocks_.push_back({k, static_cast<uint32_t>(expected_.size()), 2, -1});
                expected_.u16(static_cast<uint16_t>(row_.count));
                break;
            case 'R':
                resultOffset_ = expected_.size();
                expected_.f64(presetValue());
                break;
            case 'L':
                arg(k).slots = {0x0BADF000u + k};
                lParam_ = 0x0BADF000u + k;
                break;
            case 'S':
                arg(k).slots = {countSlot()};
                lParam_ = static_cast<uint32_t>(int32_t{static_cast<int16_t>(row_.count)});
                break;
            case 'Z':
                arg(k).slots = {countSlot()};
                lParam_ = static_cast<uint16_t>(row_.count);
                break;
            default: ADD_FAILURE() << row_.name << ": bad layout token " << tok;
            }
        }
        // The result place's preset may name a double placed after it.
        if (resultOffset_ != SIZE_MAX) {
            const double p = presetValue();
            std::memcpy(expected_.b.data() + resultOffset_, &p, 8);
        }
    }

    Row row_;
    std::vector<Arg> args_;
    std::vector<double> doubleArg_;
    std::vector<Block> blocks_;
    std::vector<std::vector<uint8_t>> buffers_, originals_;
    std::deque<SAFEARRAY> descriptors_;
    std::deque<SAFEARRAY*> variables_;
    mutable SAFEARRAY nullDescriptor_{};
    mutable SAFEARRAY* nullVariable_ = nullptr;
    Bytes expected_;
    uint32_t lParam_ = 0;
    size_t resultOffset_ = SIZE_MAX;
};

inline double asDouble(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}
inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, 8) == 0; }

// The whole row: request, copy-back with a writing host, result, presets with
// a silent host.
inline void runRow(RecordingHost& host, const Row& row) {
    SCOPED_TRACE(row.name);
    Call call(row);
    const ExportSpec* entry = findExport(row.name);
    ASSERT_NE(entry, nullptr) << "not in an export table";
    ASSERT_EQ(call.slots().v.size() * 4, entry->argBytes()) << "row and export table disagree on the arguments";
    const bool wantDouble = row.result == Res::Double;
    ASSERT_EQ(entry->returnsDouble(), wantDouble);

    // 1. A host that writes a pattern over the whole request.
    host.clear();
    Bytes pattern;
    for (size_t i = 0; i < call.total(); ++i) pattern.u8(hostPattern(i));
    host.reply(Reply{kAnswer}.write(0, pattern));
    CallResult r = host.call(row.name, call.slots(), wantDouble);
    ASSERT_EQ(host.requests().size(), 1u);
    expectRequest(host.requests()[0], row.code, call.lParam(), call.expected());
    call.expectCallerBlocks(row.back == Back::All);
    switch (row.result) {
    case Res::Host: EXPECT_EQ(r.eax, kAnswer); break;
    case Res::Negated16: EXPECT_EQ(r.i32(), -3); break;
    case Res::Double:
        EXPECT_TRUE(sameBits(r.st0, asDouble(pattern.b.data() + call.resultOffset())))
            << "returned " << r.st0 << ", the host wrote " << asDouble(pattern.b.data() + call.resultOffset());
        break;
    }

    // 2. A host that writes nothing: records come back as sent, a double
    //    result is its preset.
    call.restore();
    host.clear();
    host.reply(kAnswer);
    r = host.call(row.name, call.slots(), wantDouble);
    ASSERT_EQ(host.requests().size(), 1u);
    call.expectCallerBlocks(false);
    if (wantDouble) {
        EXPECT_TRUE(sameBits(r.st0, call.presetValue())) << "returned " << r.st0 << ", preset " << call.presetValue();
    }
}

// The call is refused: nothing sent, 0 (or 0.0) returned, no caller byte
// touched.
inline void expectRowRefused(RecordingHost& host, const Row& row, Call& call, const Slots& slots, const char* why) {
    SCOPED_TRACE(std::string(row.name) + ": " + why);
    call.restore();
    host.clear();
    host.reply(Reply{kAnswer}.write(0, Bytes{}.fill(0x77, 64)));
    const CallResult r = host.call(row.name, slots, row.result == Res::Double);
    EXPECT_TRUE(host.requests().empty()) << "a request was sent";
    if (row.result == Res::Double) {
        EXPECT_EQ(r.st0, 0.0);
    } else {
        EXPECT_EQ(r.eax, 0u);
    }
    call.expectCallerBlocks(false);
}

// Every address the export would read is refused when null, and so is an
// array whose descriptor names no data.
inline void runNullRefusals(RecordingHost& host, const Row& row) {
    Call call(row);
    for (int k : call.pointerArgs()) {
        const std::string why = "argument " + std::to_string(k) + " null";
        expectRowRefused(host, row, call, call.slots(k), why.c_str());
        if (call.isArray(k) && call.arrayMovesBytes(k)) {
            const std::string why2 = "array " + std::to_string(k) + " without data";
            expectRowRefused(host, row, call, call.slots(k, true), why2.c_str());
        }
    }
}

// A row whose count cannot be carried.
inline void expectCountRefused(RecordingHost& host, const Row& row) {
    Call call(row);
    expectRowRefused(host, row, call, call.slots(), ("count " + std::to_string(row.count)).c_str());
}

}  // namespace kavtest::rows
