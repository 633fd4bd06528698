// Walks a request's payload along its export's segments: where each lies,
// how many bytes it has (counts from the lParam or an earlier segment, texts
// up to their zero), and what it holds.
#include "decode/decoder.h"

#include <algorithm>
#include <cstring>

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

int64_t itemCount(const SegmentLayout& s, uint32_t lParam, const std::vector<int64_t>& integers) {
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
    d.code = code;
    d.lParam = lParam;
    std::vector<const ExportLayout*> candidates = layoutsForCode(code);
    if (candidates.empty()) return d;
    d.known = true;
    // A function that sends lParam 0 cannot have made a request with another lParam.
    if (lParam != 0) {
        std::vector<const ExportLayout*> kept;
        for (const ExportLayout* e : candidates)
            if (e->lparam != LParamForm::Zero) kept.push_back(e);
        if (!kept.empty()) candidates = kept;
    }
    for (const ExportLayout* e : candidates) d.names.push_back(e->name);
    const ExportLayout& e = *candidates.front();
    d.lParamText = lparamText(e, lParam);
    if (!payload) size = 0;
    const uint32_t limit = static_cast<uint32_t>(std::min<size_t>(size, kav::kPayloadSize));
    uint32_t offset = 0;
    std::vector<int64_t> integers(e.segments.size(), 0);
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
            int64_t count = itemCount(s, lParam, integers);
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
        DecodedSegment ds;
        ds.name = s.name;
        ds.offset = offset;
        ds.size = static_cast<uint32_t>(want);
        if (want >= s.unit && isInteger(s.kind)) integers[i] = segmentInteger(s.kind, payload + offset);
        ds.value = want == 0 && s.kind != SegmentKind::Text ? "(none)" : segmentValue(s, payload + offset, ds.size);
        d.segments.push_back(std::move(ds));
        offset += static_cast<uint32_t>(want);
    }
    d.total = offset;
    return d;
}

}  // namespace kavhost
