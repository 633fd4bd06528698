// Every export under hostile arguments and a hostile host: null pointers,
// pointers just past the end of a buffer, counts across the whole 16-bit
// range, texts of 0 to 20,000 bytes with and without terminators in front of
// unmapped pages, random answers and random bytes written back.  Caller
// buffers end right at an unmapped page, so a read or write past any of them
// faults.  What must hold on every call: the process survives; a refused
// call touches none of the caller's memory; a call whose arguments are all
// sound and whose segments all have fixed sizes is not refused; the request
// path allocates nothing (only exports that hand back strings may allocate
// strings).  KAV_FUZZ_CALLS and KAV_FUZZ_SEED set the run.
#include "caller_memory.h"
#include "kavlink_table.h"
#include "guarded_pages.h"
#include "import_patch.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

using namespace kavtest;
using kavtable::ArgKind;

namespace {

constexpr uint32_t kPage = 4096;
constexpr uint32_t kSlotBytes = 24 * kPage;  // room for a 20,000-byte text or a 65535 x 2 list cut short

// One buffer that ends exactly at an unmapped page.
class GuardedSlot : public GuardedPages {
public:
    GuardedSlot() : GuardedPages(kSlotBytes) {}
};

enum Hostile { kNull, kDangling, kUnterminated, kLongText, kBigCount, kNegativeCount, kHostileKinds };
const char* const kHostileNames[] = {"null pointer", "pointer past a buffer", "text without terminator",
                                     "text of 256 bytes or more", "count of 1,000 or more", "negative 16-bit count"};

struct Touched {
    uint8_t* data;
    std::vector<uint8_t> before;
};

class Fuzzer {
public:
    explicit Fuzzer(uint32_t seed) : rng_(seed) {}

    uint32_t u32() { return static_cast<uint32_t>(rng_()); }
    uint32_t below(uint32_t n) { return n ? u32() % n : 0; }
    bool chance(uint32_t percent) { return below(100) < percent; }

    uint32_t interestingInt() {
        static const uint32_t values[] = {0, 1, 2, 3, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 0x8000, 0x7FFF,
                                          0x10000, 0x10002, 10, 11, 255, 256, 260, 261, 1022, 1023};
        return chance(60) ? values[below(sizeof values / sizeof values[0])] : u32();
    }
    uint32_t countSlot() {
        switch (below(6)) {
        case 0: return below(4);
        case 1: return below(12);
        case 2: return below(1100);
        case 3: return 0xFFFF0000u | below(0x10000);  // low half anywhere, high half set
        case 4: return 0x8000 + below(0x8000);         // negative as 16 bits
        default: return u32();
        }
    }

    GuardedSlot& slot() { return slots_[next_++ % kSlots]; }

    // A caller buffer of n bytes with random content, remembered for the
    // untouched-on-refusal check.
    uint8_t* buffer(uint32_t n) {
        uint8_t* p = slot().take(n);
        for (uint32_t i = 0; i < std::min(n, kSlotBytes); ++i) p[i] = static_cast<uint8_t>(u32());
        touched_.push_back({p, std::vector<uint8_t>(p, p + std::min(n, kSlotBytes))});
        return p;
    }

    // A text of the given length ending right before the guard page; without
    // a terminator it runs into the guard page.
    char* text(uint32_t length, bool terminated) {
        const uint32_t n = std::min(length + (terminated ? 1u : 0u), kSlotBytes);
        auto* p = reinterpret_cast<char*>(slot().take(n));
        for (uint32_t i = 0; i < n; ++i) p[i] = static_cast<char>('A' + below(26));
        if (terminated) p[n - 1] = 0;
        touched_.push_back({reinterpret_cast<uint8_t*>(p), std::vector<uint8_t>(p, p + n)});
        return p;
    }

    uint32_t textLength() {
        switch (below(5)) {
        case 0: return 0;
        case 1: return below(32);
        case 2: return 250 + below(12);
        case 3: return below(2000);
        default: return below(20001);
        }
    }

    std::mt19937 rng_;
    static constexpr size_t kSlots = 40;
    GuardedSlot slots_[kSlots];
    size_t next_ = 0;
    std::vector<Touched> touched_;
    bool hostile_[kHostileKinds] = {};
};

// What the current call is, for the crash report.
const char* g_currentExport = "";
uint64_t g_currentCall = 0;
uint32_t g_seed = 0;

LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "CRASH: exception %08lX in call %llu (%s), seed %u\n",
                 info->ExceptionRecord->ExceptionCode, static_cast<unsigned long long>(g_currentCall),
                 g_currentExport, g_seed);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

uint32_t envNumber(const char* name, uint32_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? static_cast<uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

bool fixedSizeOnly(const kavtable::Export& e) {
    for (const kavtable::Arg& a : e.args) {
        switch (a.kind) {
        case ArgKind::I32: case ArgKind::I16: case ArgKind::U8: case ArgKind::F64: case ArgKind::I64:
        case ArgKind::Ref: case ArgKind::Array: break;
        default: return false;
        }
    }
    return true;
}

// Bytes of a memory argument: fixed, or from the argument that counts it
// (its slot already made).
uint64_t memorySize(const kavtable::Arg& a, const std::vector<uint32_t>& argSlots,
                    const std::vector<size_t>& firstSlotOf) {
    if (a.countArg < 0) return a.bytes;
    const size_t k = static_cast<size_t>(a.countArg);
    const uint32_t slotValue = k < firstSlotOf.size() ? argSlots[firstSlotOf[k]] : 0;
    if (a.kind == ArgKind::RefPlusOne) return uint64_t{slotValue} + 1;
    return uint64_t{a.bytes} * (slotValue & 0xFFFF);
}

}  // namespace

TEST(Robustness, HostileCallsToEveryExport) {
    const uint32_t calls = envNumber("KAV_FUZZ_CALLS", 100000);
    g_seed = envNumber("KAV_FUZZ_SEED", 20261209);
    ::SetUnhandledExceptionFilter(&reportCrash);

    std::vector<const kavtable::Export*> exports;
    for (const kavtable::Export& e : kavtable::kExports)
        if (std::string(e.name) != "InitVBCmdLib") exports.push_back(&e);  // it would unbind the host
    ASSERT_FALSE(exports.empty());

    RecordingHost host;
    host.bind();
    const uint32_t handle = host.storedHandle();
    Fuzzer fz(g_seed);
    AllocationCounter counter(lib().module());
    ASSERT_GT(counter.patchedEntries(), 0u);

    uint64_t refusedByKind[kHostileKinds] = {};
    uint64_t refusals = 0, requests = 0, heapAllocations = 0, strayStringAllocations = 0;
    std::map<std::string, uint64_t> soundButRefused, touchedOnRefusal;
    std::vector<bool> covered(exports.size());

    for (uint64_t call = 0; call < calls; ++call) {
        const size_t which = fz.below(static_cast<uint32_t>(exports.size()));
        const kavtable::Export& e = *exports[which];
        covered[which] = true;
        g_currentExport = e.name;
        g_currentCall = call;
        fz.touched_.clear();
        // Strings passed by value stay the caller's; string variables are
        // freed with what they hold after the call.
        CallerMemory strings;
        std::fill(std::begin(fz.hostile_), std::end(fz.hostile_), false);

        // Arguments from the kinds.
        Slots slots;
        std::vector<size_t> firstSlotOf;
        for (const kavtable::Arg& a : e.args) {
            const ArgKind k = a.kind;
            firstSlotOf.push_back(slots.v.size());
            auto pointerOr = [&](auto make) {
                const uint32_t r = fz.below(100);
                if (r < 4) { fz.hostile_[kNull] = true; slots.ptr(nullptr); }
                else if (r < 8) { fz.hostile_[kDangling] = true; slots.ptr(fz.slot().end()); }
                else slots.ptr(make());
            };
            if (k == ArgKind::I32) slots.u32(fz.interestingInt());
            else if (k == ArgKind::I16) {
                const uint32_t v = fz.countSlot();
                if ((v & 0xFFFF) >= 1000) fz.hostile_[(v & 0x8000) ? kNegativeCount : kBigCount] = true;
                slots.u32(v);
            }
            else if (k == ArgKind::U8) slots.u32(fz.u32());
            else if (k == ArgKind::F64) slots.f64(fz.chance(50) ? static_cast<double>(static_cast<int32_t>(fz.u32())) / 7.0 : 1.0);
            else if (k == ArgKind::I64) slots.i64(fz.chance(50) ? static_cast<int64_t>(fz.below(2000000000)) : static_cast<int64_t>((uint64_t{fz.u32()} << 32) | fz.u32()));
            else if (k == ArgKind::Text) pointerOr([&] {
                const uint32_t n = fz.textLength();
                const bool terminated = !fz.chance(5);
                if (!terminated) fz.hostile_[kUnterminated] = true;
                if (n >= 255) fz.hostile_[kLongText] = true;
                return fz.text(n, terminated);
            });
            else if (k == ArgKind::StrShape || k == ArgKind::StrShapeBuffer) pointerOr([&] {
                uint8_t* rec = fz.buffer(a.bytes);
                const size_t recordEntry = fz.touched_.size() - 1;
                char* t;
                if (k == ArgKind::StrShapeBuffer) t = reinterpret_cast<char*>(fz.buffer(a.bufferBytes));
                else {
                    const uint32_t n = fz.textLength();
                    if (n >= 255) fz.hostile_[kLongText] = true;
                    t = fz.text(n, true);
                }
                if (fz.chance(5)) { t = nullptr; fz.hostile_[kNull] = true; }
                std::memcpy(rec + offsetof(StringShape, text), &t, sizeof t);
                fz.touched_[recordEntry].before.assign(rec, rec + a.bytes);  // the snapshot holds the text reference
                return rec;
            });
            else if (k == ArgKind::StrVar || k == ArgKind::Bstr) {
                BSTR s = nullptr;
                if (!fz.chance(20)) {
                    const uint32_t n = fz.below(400);
                    std::string bytes(n, 'b');
                    s = ::SysAllocStringByteLen(bytes.data(), n);
                }
                if (k == ArgKind::Bstr) { strings.adopt(s); slots.ptr(s); }
                else {
                    auto* var = reinterpret_cast<BSTR*>(fz.buffer(4));
                    *var = s;
                    fz.touched_.back().before.assign(reinterpret_cast<uint8_t*>(var), reinterpret_cast<uint8_t*>(var) + 4);
                    strings.adoptVariable(var);
                    if (fz.chance(4)) { fz.hostile_[kNull] = true; slots.ptr(nullptr); }
                    else slots.ptr(var);
                }
            }
            else if (k == ArgKind::Ref || k == ArgKind::RefTimes || k == ArgKind::RefPlusOne) pointerOr([&] {
                const uint64_t n = memorySize(a, slots.v, firstSlotOf);
                return fz.buffer(static_cast<uint32_t>(std::min<uint64_t>(n, kSlotBytes)));
            });
            else if (k == ArgKind::Array || k == ArgKind::ArrayTimes) pointerOr([&] {
                const uint64_t n = memorySize(a, slots.v, firstSlotOf);
                uint8_t* data = fz.buffer(static_cast<uint32_t>(std::min<uint64_t>(n, kSlotBytes)));
                auto* descriptor = fz.buffer(sizeof(SAFEARRAY));
                void* dataAddress = data;
                if (fz.chance(3)) { dataAddress = nullptr; fz.hostile_[kNull] = true; }
                std::memcpy(descriptor + 12, &dataAddress, 4);
                fz.touched_.back().before.assign(descriptor, descriptor + sizeof(SAFEARRAY));
                auto* var = fz.buffer(4);
                std::memcpy(var, &descriptor, 4);
                fz.touched_.back().before.assign(var, var + 4);
                return var;
            });
            else if (k == ArgKind::Names) pointerOr([&] {
                const uint32_t count = 32;
                auto* table = reinterpret_cast<char**>(fz.buffer(count * 4));
                for (uint32_t i = 0; i < count; ++i) table[i] = fz.text(fz.below(48), true);
                fz.touched_[fz.touched_.size() - count - 1].before.assign(reinterpret_cast<uint8_t*>(table), reinterpret_cast<uint8_t*>(table) + count * 4);
                return table;
            });
            else FAIL() << e.name << ": unknown argument kind " << static_cast<int>(k);
        }

        // A hostile host: random answers, random bytes at random places.
        host.clear();
        Reply reply;
        reply.answer = fz.chance(50) ? fz.interestingInt() : fz.u32();
        for (uint32_t w = fz.below(4); w > 0; --w) {
            Bytes b;
            const uint32_t n = fz.below(64) + 1;
            for (uint32_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(fz.u32()));
            reply.write(fz.below(kPayloadSize - n), b);
        }
        host.reply(reply);

        AllocationCounter::reset();
        const CallResult r = host.call(e.name, slots, e.result == kavtable::ResultForm::F64);
        const kav::UniqueBstr returned = r.ownedBstr(e.result == kavtable::ResultForm::Bstr);
        ASSERT_EQ(r.popped, e.argBytes) << e.name;
        heapAllocations += AllocationCounter::heap();
        const bool handsBackStrings =
            e.result == kavtable::ResultForm::Bstr ||
            std::any_of(e.args.begin(), e.args.end(), [](const kavtable::Arg& a) { return a.kind == ArgKind::StrVar; });
        if (!handsBackStrings) strayStringAllocations += AllocationCounter::strings();
        ASSERT_EQ(host.storedHandle(), handle) << e.name << " wrote over the stored window handle";

        const bool sent = !host.requests().empty();
        const bool local = e.lparam == kavtable::LParamForm::NoRequest;  // the date pair, CopyStringToBStr
        bool anyHostile = false;
        for (bool h : fz.hostile_) anyHostile |= h;
        if (sent) ++requests;
        if (!sent && !local) {
            ++refusals;
            for (int h = 0; h < kHostileKinds; ++h)
                if (fz.hostile_[h]) ++refusedByKind[h];
            for (const Touched& t : fz.touched_)
                if (std::memcmp(t.data, t.before.data(), t.before.size()) != 0) ++touchedOnRefusal[e.name];
            if (!anyHostile && fixedSizeOnly(e)) ++soundButRefused[e.name];
        }
        EXPECT_LE(host.requests().size(), 1u) << e.name;
    }

    size_t exportsCovered = 0;
    for (bool c : covered) exportsCovered += c;
    std::printf("fuzz: seed %u, calls %u, exports covered %zu of %zu, requests %llu, refusals %llu, crashes 0\n",
                g_seed, calls, exportsCovered, exports.size(), static_cast<unsigned long long>(requests),
                static_cast<unsigned long long>(refusals));
    for (int h = 0; h < kHostileKinds; ++h)
        std::printf("fuzz: refused calls with a %s: %llu\n", kHostileNames[h], static_cast<unsigned long long>(refusedByKind[h]));
    std::printf("fuzz: heap allocations on the request path: %llu\n", static_cast<unsigned long long>(heapAllocations));

    EXPECT_EQ(exportsCovered, exports.size());
    EXPECT_EQ(heapAllocations, 0u);
    EXPECT_EQ(strayStringAllocations, 0u);
    for (const auto& [name, n] : touchedOnRefusal) ADD_FAILURE() << name << " changed caller memory on " << n << " refused calls";
    for (const auto& [name, n] : soundButRefused) ADD_FAILURE() << name << " refused " << n << " calls with sound arguments";
}

TEST(Robustness, AllocationCounterSeesTheLibrarysAllocations) {
    AllocationCounter counter(lib().module());
    AllocationCounter::reset();
    kav::UniqueBstr s;
    lib().call("CopyStringToBStr", Slots{}.ptr(s.put()).ptr("abc"));
    EXPECT_EQ(AllocationCounter::strings(), 1u);
}
