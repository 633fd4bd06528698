// The export table against the library: every export of kavlink.dll is
// called once with sound arguments built from its row, against a host that
// writes a pattern over the whole payload area.  The request must carry the
// row's code and lParam, each input segment must hold the caller's bytes at
// the offset the row gives it, kavhost's decoder must name the export and
// account for every byte sent, and afterwards exactly the segments the row
// marks inout or out (and its read-back areas) must hold the host's bytes in
// the caller's memory, with every other byte of that memory as it was.  A
// failure names the export, the segment and the row's line in
// api/kavlink.exports.
#include "byte_diff.h"
#include "caller_memory.h"
#include "decode/decoder.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace kavtest;
using kavhost::ArgKind;
using kavhost::CopyRule;
using kavhost::Direction;
using kavhost::ExportLayout;
using kavhost::LParamForm;
using kavhost::ResultForm;
using kavhost::SegmentLayout;

namespace {

constexpr uint32_t kCount = 3;             // every count argument
constexpr uint32_t kAnswer = 0x7A5BFFFF;   // nonzero, and -1 in the low half: every copy rule copies
// Answers that only some rules copy on: a zero low half copies for no rule but
// "always"; a low half of 3 is nonzero without being -1 ("true" does not copy).
constexpr uint32_t kAnswers[] = {kAnswer, 0x7A5B0000, 0x7A5B0003};

bool copiesOn(CopyRule rule, uint32_t answer) {
    const int16_t low = static_cast<int16_t>(answer & 0xFFFF);
    return rule == CopyRule::Always || (rule == CopyRule::Nonzero && low != 0) || (rule == CopyRule::True && low == -1);
}

// Host bytes and caller bytes come from disjoint ranges, and neither is the
// recording host's sentinel nor the guard byte, so a copy from anywhere shows.
uint8_t hostByte(size_t offset) { return static_cast<uint8_t>(0xB0 + (offset * 7 + (offset >> 8) * 3) % 0x50); }
uint8_t callerByte(size_t seed, size_t i) { return static_cast<uint8_t>(0x10 + (seed * 37 + i * 3 + (i >> 8)) % 0x90); }
static_assert(kGuardByte < 0x10, "the guard byte is neither a host nor a caller byte");

std::string directionName(Direction d) { return d == Direction::In ? "in" : d == Direction::Out ? "out" : "inout"; }

// Memory of the caller that a segment may be read from or written to.
struct Region {
    std::string name;       // argument, or "arg.text"
    uint8_t* data = nullptr;
    size_t size = 0;        // without the guard
    std::vector<uint8_t> original;  // size + guard bytes (CallerMemory)
};

// What one argument gave: slots, and where its memory or value lies.
struct Built {
    ArgKind kind = ArgKind::I32;
    uint32_t value = 0;              // a by-value integer
    std::vector<uint8_t> valueBytes; // the bytes a value segment carries
    std::optional<size_t> region;    // its memory
    std::string text;                // a text, BSTR or string variable: its bytes
    BSTR* variable = nullptr;        // a string variable
};

class Call {
public:
    explicit Call(const ExportLayout& e) : e_(e) {
        std::vector<bool> isCount(e.args.size());
        for (const kavhost::ArgLayout& a : e.args)
            if (a.countArg >= 0) isCount.at(static_cast<size_t>(a.countArg)) = true;
        for (size_t i = 0; i < e.args.size(); ++i) build(i, isCount[i]);
    }
    const Slots& slots() const { return slots_; }
    const Built* arg(const std::string& name) const {
        const int i = e_.argIndex(name);
        return i < 0 ? nullptr : &args_[static_cast<size_t>(i)];
    }
    std::vector<Region>& regions() { return regions_; }
    const CallerMemory& memory() const { return memory_; }
    std::optional<size_t> regionOf(const std::string& name) const {
        for (size_t i = 0; i < regions_.size(); ++i)
            if (regions_[i].name == name) return i;
        return std::nullopt;
    }

    uint32_t expectedLParam() const {
        auto value = [&](size_t k) { return args_.at(static_cast<size_t>(e_.lparamArgs[k])).value; };
        switch (e_.lparam) {
        case LParamForm::Arg32: return value(0);
        case LParamForm::U16: return value(0) & 0xFFFF;
        case LParamForm::S16: return static_cast<uint32_t>(int32_t{static_cast<int16_t>(value(0))});
        case LParamForm::Packed: return (value(1) << 16) | (value(0) & 0xFFFF);
        case LParamForm::Fixed: return e_.lparamFixed;
        case LParamForm::Length: return static_cast<uint32_t>(args_.at(static_cast<size_t>(e_.lparamArgs[0])).text.size());
        default: return 0;
        }
    }

private:
    uint8_t* region(const std::string& name, size_t size, size_t seed) {
        std::vector<uint8_t> content(size);
        for (size_t i = 0; i < size; ++i) content[i] = callerByte(seed, i);
        uint8_t* data = memory_.place(content);
        regions_.push_back({name, data, size, memory_.now(data)});
        return data;
    }
    void refreshOriginal(size_t r) { regions_[r].original = memory_.now(regions_[r].data); }
    // Bytes of a reference's or an array's memory; every count is kCount.
    static size_t sizeOf(const kavhost::ArgLayout& a) {
        if (a.kind == ArgKind::RefPlusOne) return kCount + 1;
        return a.countArg >= 0 ? a.bytes * kCount : a.bytes;
    }
    void build(size_t i, bool count) {
        const kavhost::ArgLayout& a = e_.args[i];
        const ArgKind k = a.kind;
        const std::string name = a.name;
        Built b;
        b.kind = k;
        auto value = [&](uint32_t v, size_t bytes) {
            b.value = v;
            b.valueBytes.assign(reinterpret_cast<const uint8_t*>(&v), reinterpret_cast<const uint8_t*>(&v) + bytes);
            slots_.u32(v);
        };
        if (k == ArgKind::I32) value(count ? kCount : 0x01020304u + static_cast<uint32_t>(i) * 0x00010101u, 4);
        else if (k == ArgKind::I16) value(count ? kCount : 0x5A5A0100u + static_cast<uint32_t>(i), 2);  // high half is junk
        else if (k == ArgKind::U8) value(0x5A5A5A12u + static_cast<uint32_t>(i), 1);
        else if (k == ArgKind::F64 || k == ArgKind::I64) {
            const double d = 1000.25 + 3.5 * static_cast<double>(i);
            const int64_t n = 1700000000 + static_cast<int64_t>(i);
            b.valueBytes.resize(8);
            if (k == ArgKind::F64) std::memcpy(b.valueBytes.data(), &d, 8), slots_.f64(d);
            else std::memcpy(b.valueBytes.data(), &n, 8), slots_.i64(n);
        } else if (k == ArgKind::Text) {
            b.text = "t" + std::to_string(i) + "-" + name;
            b.region = regions_.size();
            std::memcpy(region(name, b.text.size() + 1, i), b.text.c_str(), b.text.size() + 1);
            refreshOriginal(*b.region);
            slots_.ptr(regions_[*b.region].data);
        } else if (k == ArgKind::Bstr || k == ArgKind::StrVar) {
            b.text = "b" + std::to_string(i);
            if (k == ArgKind::Bstr) slots_.ptr(memory_.string(b.text));
            else slots_.ptr(b.variable = memory_.stringVariable(b.text));
        } else if (k == ArgKind::StrShape || k == ArgKind::StrShapeBuffer) {
            uint8_t* text = nullptr;
            if (k == ArgKind::StrShape) {
                const std::string t = "shape text " + std::to_string(i);
                text = region(name + ".text", t.size() + 1, i + 50);
                std::memcpy(text, t.c_str(), t.size() + 1);
                refreshOriginal(regions_.size() - 1);
            } else {
                text = region(name + ".text", a.bufferBytes, i + 50);
            }
            b.region = regions_.size();
            uint8_t* shape = region(name, a.bytes, i);
            std::memcpy(shape + offsetof(StringShape, text), &text, sizeof text);
            refreshOriginal(*b.region);
            slots_.ptr(shape);
        } else if (k == ArgKind::Ref || k == ArgKind::RefTimes || k == ArgKind::RefPlusOne) {
            b.region = regions_.size();
            slots_.ptr(region(name, sizeOf(a), i));
        } else if (k == ArgKind::Array || k == ArgKind::ArrayTimes) {
            const size_t n = sizeOf(a);
            b.region = regions_.size();
            slots_.ptr(memory_.arrayVariable(region(name, n, i), n));
        } else if (k == ArgKind::Names) {
            auto& list = pointers_.emplace_back(kCount);
            for (uint32_t n = 0; n < kCount; ++n) {
                list[n] = reinterpret_cast<char*>(memory_.place({'n', static_cast<uint8_t>('0' + n), 0}));
            }
            slots_.ptr(list.data());
        } else {
            ADD_FAILURE() << e_.name << ": unknown argument kind " << static_cast<int>(k);
            slots_.u32(0);
        }
        args_.push_back(std::move(b));
    }

    const ExportLayout& e_;
    Slots slots_;
    std::vector<Built> args_;
    std::vector<Region> regions_;
    CallerMemory memory_;
    std::deque<std::vector<char*>> pointers_;
};

std::string where(const ExportLayout& e) {
    return std::string(e.name) + " (api/kavlink.exports:" + std::to_string(e.line) + ")";
}
std::string where(const ExportLayout& e, const SegmentLayout& s, const kavhost::DecodedSegment& d) {
    return std::string(e.name) + ", segment " + s.name + " (" + directionName(s.direction) + ", " + std::to_string(d.size) +
           " bytes at payload offset " + std::to_string(d.offset) + "), api/kavlink.exports:" + std::to_string(e.line);
}

// The bytes a segment must carry when the caller supplies them, if the row
// ties it to an argument: a value, the memory of a record, buffer, array or
// text, or a text that the export copies into a buffer of its own (then only
// the text and its terminator are known).
std::optional<std::vector<uint8_t>> suppliedBytes(Call& call, const SegmentLayout& s, bool& prefixOnly) {
    prefixOnly = false;
    if (const Built* b = call.arg(s.name)) {
        if (!b->valueBytes.empty()) return b->valueBytes;
        if (b->kind == ArgKind::Text || b->kind == ArgKind::StrVar || b->kind == ArgKind::Bstr) {
            prefixOnly = true;
            std::vector<uint8_t> t(b->text.begin(), b->text.end());
            if (b->kind != ArgKind::Bstr) t.push_back(0);
            return t;
        }
    }
    if (const auto r = call.regionOf(s.name)) {
        const Region& m = call.regions()[*r];
        // The position form of a StringShape is its first 16 bytes.
        const size_t n = s.kind == kavhost::SegmentKind::StrPos ? std::min<size_t>(s.unit, m.size) : m.size;
        return std::vector<uint8_t>(m.original.begin(), m.original.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return std::nullopt;
}

void checkExport(RecordingHost& host, const ExportLayout& e, uint32_t answer) {
    SCOPED_TRACE(where(e) + ", answer " + std::to_string(static_cast<int32_t>(answer)));
    const bool copies = copiesOn(e.rule, answer);
    Call call(e);
    std::vector<uint8_t> pattern(kPayloadSize);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = hostByte(i);
    // A property record's size and data address are the host's to give: none.
    for (const SegmentLayout& s : e.readBack)
        if (std::string_view(s.name) == "record") std::fill(pattern.begin() + 38, pattern.begin() + 46, 0);
    host.clear();
    host.reply(Reply{answer}.write(0, Bytes{}.raw(pattern.data(), pattern.size())));
    const CallResult result = host.call(e.name, call.slots(), e.result == ResultForm::F64);
    const kav::UniqueBstr returned = result.ownedBstr(e.result == ResultForm::Bstr);

    if (e.lparam == LParamForm::NoRequest) {
        EXPECT_TRUE(host.requests().empty()) << where(e) << ": the row sends nothing, the export sent a request";
        return;
    }
    ASSERT_EQ(host.requests().size(), 1u) << where(e) << ": sound arguments must make exactly one request";
    const Recorded& r = host.requests()[0];
    if (e.lparam == LParamForm::Exit) {
        EXPECT_EQ(r.message, kav::kExitCommandMessage) << where(e);
        return;
    }
    ASSERT_EQ(r.message, kav::kRequestMessage) << where(e);
    EXPECT_EQ(r.code, e.code) << where(e) << ": command code";
    EXPECT_EQ(r.lParam, call.expectedLParam()) << where(e) << ": lParam";

    const kavhost::Decoded d = kavhost::decode(r.code, r.lParam, r.payload.data(), r.payload.size());
    EXPECT_NE(std::find(d.names.begin(), d.names.end(), e.name), d.names.end())
        << where(e) << ": decoded as " << d.nameText();
    EXPECT_TRUE(d.problem.empty()) << where(e) << ": " << d.problem;
    EXPECT_EQ(r.length(), d.total) << where(e) << ": the export sent " << r.length()
                                   << " payload bytes, its row's segments account for " << d.total;
    if (d.segments.size() != e.segments.size()) return;  // decoded as another export: reported above

    // What each caller region must hold afterwards, and which segment put it there.
    std::vector<std::vector<uint8_t>> expected;
    std::vector<std::vector<std::string>> owner;
    for (const Region& m : call.regions()) {
        expected.push_back(m.original);
        owner.emplace_back(m.original.size(), "");
    }
    auto stays = [&](const SegmentLayout& s, uint32_t size, const std::string& label) {
        if (const auto r = call.regionOf(s.name))
            for (uint32_t i = 0; i < size && i < owner[*r].size(); ++i) owner[*r][i] = label + " goes to the host only";
    };
    auto comesBack = [&](const SegmentLayout& s, uint32_t offset, uint32_t size, const std::string& label) {
        const auto r = call.regionOf(s.name);
        if (!r) return;
        for (uint32_t i = 0; i < size && i < expected[*r].size(); ++i) {
            expected[*r][i] = offset + i < pattern.size() ? pattern[offset + i] : 0;
            owner[*r][i] = label;
        }
    };

    for (size_t i = 0; i < e.segments.size(); ++i) {
        const SegmentLayout& s = e.segments[i];
        const kavhost::DecodedSegment& ds = d.segments[i];
        const std::string label = where(e, s, ds);
        if (s.direction != Direction::Out) {
            bool prefixOnly = false;
            if (const auto want = suppliedBytes(call, s, prefixOnly)) {
                const size_t n = prefixOnly ? std::min<size_t>(want->size(), ds.size) : ds.size;
                if (!prefixOnly) {
                    EXPECT_EQ(want->size(), ds.size) << label << ": the caller supplies " << want->size() << " bytes";
                }
                const std::vector<uint8_t> sent(r.payload.begin() + ds.offset, r.payload.begin() + ds.offset + n);
                const std::string diff =
                    firstDifference(std::vector<uint8_t>(want->begin(), want->begin() + std::min(n, want->size())), sent);
                EXPECT_TRUE(diff.empty()) << label << ": the request does not carry the caller's bytes, " << diff;
            }
        }
        if (s.direction == Direction::In) stays(s, ds.size, label);
        if (s.direction != Direction::In && copies) comesBack(s, ds.offset, ds.size, label);
    }
    for (const SegmentLayout& s : e.readBack) {
        const auto r2 = call.regionOf(s.name);
        if (!copies) continue;
        if (!r2 || s.unit == 0) continue;
        comesBack(s, 0, s.unit, std::string(e.name) + ", read-back " + s.name + ", api/kavlink.exports:" + std::to_string(e.line));
    }
    // A string variable that anything comes back to gets a new string exactly when the rule copies.
    std::vector<const SegmentLayout*> back;
    for (const SegmentLayout& s : e.segments)
        if (s.direction != Direction::In) back.push_back(&s);
    for (const SegmentLayout& s : e.readBack) back.push_back(&s);
    for (const SegmentLayout* s : back) {
        const Built* b = call.arg(s->name);
        if (b == nullptr || b->variable == nullptr) continue;
        EXPECT_EQ(bytesOf(*b->variable) != b->text, copies)
            << where(e) << ": string variable " << s->name << (copies ? " kept its text although the rule copies"
                                                                     : " changed although the rule does not copy");
    }
    if (e.result == ResultForm::F64 && answer == kAnswer)
        for (size_t i = 0; i < e.segments.size(); ++i)
            if (std::string_view(e.segments[i].name) == "result") {
                double want;
                std::memcpy(&want, pattern.data() + d.segments[i].offset, 8);
                EXPECT_EQ(std::memcmp(&want, &result.st0, 8), 0)
                    << where(e, e.segments[i], d.segments[i]) << ": returned " << result.st0 << ", the host wrote " << want;
            }

    // Caller memory that no segment of the row names is left to the family tests.
    for (size_t k = 0; k < call.regions().size(); ++k) {
        const Region& m = call.regions()[k];
        bool named = false;
        for (const SegmentLayout& s : e.segments) named = named || s.name == m.name;
        for (const SegmentLayout& s : e.readBack) named = named || s.name == m.name;
        if (!named) continue;
        const std::vector<uint8_t>& now = call.memory().now(m.data);
        const size_t at = firstDifferenceOffset(expected[k], now);
        if (at == kNoDifference) continue;
        const std::string who =
            at >= m.size ? std::string(e.name) + ": the guard behind " + m.name + ", api/kavlink.exports:" + std::to_string(e.line)
            : owner[k][at].empty() ? std::string(e.name) + ": " + m.name + ", not covered by a segment, api/kavlink.exports:" +
                                         std::to_string(e.line)
                                   : owner[k][at];
        ADD_FAILURE() << who << "; the caller's " << m.name << " (" << m.size << " bytes, then " << kGuardSize
                      << " guard bytes) after the call: " << firstDifference(expected[k], now);
    }
}

TEST(ExportRows, EveryExportOfTheDllHasARow) {
    for (const std::string& name : lib().exportedNames())
        EXPECT_NE(kavhost::findLayout(name), nullptr) << name << " is missing from api/kavlink.exports";
}

TEST(ExportRows, EveryExportSendsAndCopiesBackWhatItsRowSays) {
    RecordingHost host;
    host.bind();
    size_t checked = 0;
    for (const ExportLayout& e : kavhost::exportLayouts()) {
        if (std::string_view(e.name) == "InitVBCmdLib") continue;  // would unbind the host
        for (const uint32_t answer : kAnswers) checkExport(host, e, answer);
        ++checked;
    }
    EXPECT_EQ(checked, 399u);
}

}  // namespace
