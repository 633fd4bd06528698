// Walks a request's payload along its export's segments: where each lies,
// how many bytes it has (counts from the lParam or an earlier segment, texts
// up to their zero), and what it holds.
#include "decode/decoder.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>

namespace kavhost {
namespace {

int64_t segmentInteger(SegmentKind k, const uint8_t* p) {
    switch (k) {
    case SegmentKind::U8: return p[0];
    case SegmentKind::I16: { int16_t v; std::memcpy(&v, p, 2); return v; }
    default: { int32_t v; std::memcpy(&v, p, 4); return v; }
    }
}

bool isInteger(SegmentKind k) { return k == SegmentKind::U8 || k == SegmentKind::I16 || k == SegmentKind::I32; }

std::string lparamText(const ExportLayout& e, uint32_t lp) {
    auto arg = [&](size_t i) { return std::string(e.args[static_cast<size_t>(e.lparamArgs[i])].name); };
    switch (e.lparam) {
    case LParamForm::Zero: return "";
    case LParamForm::Arg32: return arg(0) + " = " + std::to_string(static_cast<int32_t>(lp));
    case LParamForm::U16: return arg(0) + " = " + std::to_string(lp) + (lp > 0xFFFF ? " (not a 16-bit value)" : "");
    case LParamForm::S16: return arg(0) + " = " + std::to_string(static_cast<int32_t>(lp));
    case LParamForm::Packed:
        return arg(0) + " = " + std::to_string(lp & 0xFFFF) + ", " + arg(1) + " = " + std::to_string(lp >> 16);
    case LParamForm::Fixed: return "constant " + std::to_string(lp);
    case LParamForm::Length: return "byte length of " + arg(0) + " = " + std::to_string(lp);
    default: return "";
    }
}

int64_t itemCount(const SegmentLayout& s, uint32_t lParam, const int64_t* integers) {
    int64_t count = 1;
    switch (s.countFrom) {
    case CountFrom::None: return 1;
    case CountFrom::Number: count = s.countNumber; break;
    case CountFrom::LpLow: count = lParam & 0xFFFF; break;
    case CountFrom::LpSigned: count = static_cast<int16_t>(lParam & 0xFFFF); break;
    case CountFrom::LpHigh: count = lParam >> 16; break;
    case CountFrom::LpAll: count = lParam; break;
    case CountFrom::Segment: count = integers[static_cast<size_t>(s.countSegment)]; break;
    }
    return count + s.extra;
}

}  // namespace

std::string Decoded::nameText() const {
    if (names.empty()) return "(unknown code)";
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " | ") + n;
    return s;
}

Decoded decode(uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size) {
    Decoded d;
    decodeInto(d, code, lParam, payload, size, true);
    return d;
}

void decodeInto(Decoded& d, uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size, bool describeIt) {
    d.code = code;
    d.lParam = lParam;
    d.known = false;
    d.layout = nullptr;
    d.lParamText.clear();
    d.total = 0;
    d.problem.clear();
    d.described = false;
    const std::span<const ExportLayout* const> candidates = layoutsWithCode(code);
    // A function that sends lParam 0 cannot have made a request with another
    // lParam: such rows are left out, unless every row of the code is one.
    const bool sendsLParam = std::any_of(candidates.begin(), candidates.end(),
                                         [](const ExportLayout* e) { return e->lparam != LParamForm::Zero; });
    const bool dropZero = lParam != 0 && sendsLParam;
    size_t names = 0;
    for (const ExportLayout* e : candidates) {
        if (dropZero && e->lparam == LParamForm::Zero) continue;
        if (names == d.names.size()) d.names.emplace_back();
        d.names[names++].assign(e->name);
        if (!d.layout) d.layout = e;
    }
    d.names.resize(names);
    if (!d.layout) {
        d.segments.clear();
        d.described = true;  // nothing to describe
        return;
    }
    d.known = true;
    const ExportLayout& e = *d.layout;
    if (!payload) size = 0;
    const uint32_t limit = static_cast<uint32_t>(std::min<size_t>(size, kav::kPayloadSize));
    uint32_t offset = 0;
    // The integers of the segments so far, for counts that an earlier segment gives.
    int64_t integers[64] = {};
    std::vector<int64_t> more;
    if (e.segments.size() > std::size(integers)) more.resize(e.segments.size());
    int64_t* const integer = more.empty() ? integers : more.data();
    d.segments.resize(e.segments.size());
    for (size_t i = 0; i < e.segments.size(); ++i) {
        const SegmentLayout& s = e.segments[i];
        uint64_t want = 0;
        if (s.kind == SegmentKind::Text) {
            const void* z = offset < limit ? std::memchr(payload + offset, 0, limit - offset) : nullptr;
            if (!z) {
                if (d.problem.empty()) d.problem = std::string("text ") + s.name + " has no terminator inside the payload area";
                want = limit - std::min(offset, limit);
            } else {
                want = static_cast<uint64_t>(static_cast<const uint8_t*>(z) - (payload + offset)) + 1;
            }
        } else {
            int64_t count = itemCount(s, lParam, integer);
            if (count < 0) {
                if (d.problem.empty()) d.problem = std::string("negative count for ") + s.name;
                count = 0;
            }
            want = static_cast<uint64_t>(count) * s.unit;
        }
        if (offset + want > limit) {
            if (d.problem.empty()) d.problem = std::string("segment ") + s.name + " runs past the payload area";
            want = limit - std::min(offset, limit);
        }
        DecodedSegment& ds = d.segments[i];
        ds.name.assign(s.name);
        ds.offset = offset;
        ds.size = static_cast<uint32_t>(want);
        ds.value.clear();
        if (want >= s.unit && isInteger(s.kind)) integer[i] = segmentInteger(s.kind, payload + offset);
        offset += static_cast<uint32_t>(want);
    }
    d.total = offset;
    if (describeIt) describe(d, payload);
}

void describe(Decoded& d, const uint8_t* payload) {
    if (d.described) return;
    d.described = true;
    if (!d.layout) return;
    const ExportLayout& e = *d.layout;
    d.lParamText = lparamText(e, d.lParam);
    for (size_t i = 0; i < d.segments.size() && i < e.segments.size(); ++i) {
        DecodedSegment& ds = d.segments[i];
        const SegmentLayout& s = e.segments[i];
        ds.value = ds.size == 0 && s.kind != SegmentKind::Text ? "(none)" : segmentValue(s, payload + ds.offset, ds.size);
    }
}

}  // namespace kavhost
