#include "model/audit.h"

#include "decode/layout_table.h"

#include <algorithm>
#include <string_view>

namespace kavhost::model {
namespace {

std::string seqs(const std::vector<uint32_t>& list) {
    std::string s;
    for (uint32_t q : list) s += (s.empty() ? "#" : ", #") + std::to_string(q);
    return s;
}

bool touched(const Reply& reply, uint32_t offset, uint32_t size) {
    for (const PayloadWrite& w : reply.writes)
        if (w.offset < offset + size && offset < w.offset + w.bytes.size()) return true;
    return false;
}

}  // namespace

void Audit::check(const LoggedRequest& r) {
    if (r.message != kav::kRequestMessage || r.decoded.names.empty()) return;
    const std::string& name = r.decoded.names.front();
    if (r.reply.defaultAnswer) {
        byExport_[r.decoded.nameText()].unanswered.push_back(r.seq);
        return;
    }
    // A recorded answer is what the host did: a segment it left is its own
    // behaviour (places for solutions it did not find), not a gap to fill.
    if (std::string_view(r.reply.source).starts_with("recording")) return;
    const ExportLayout* e = rowOf(r.decoded);
    if (!e) return;
    const uint32_t low = r.reply.answer & 0xFFFF;
    if ((e->rule == CopyRule::Nonzero && low == 0) || (e->rule == CopyRule::True && low != 0xFFFF)) return;
    if (e->result != ResultForm::F64 && static_cast<int32_t>(r.reply.answer) == none_) return;
    for (size_t i = 0; i < e->segments.size() && i < r.decoded.segments.size(); ++i) {
        const DecodedSegment& s = r.decoded.segments[i];
        const bool leftOnPurpose =
            std::find(r.reply.noSolution.begin(), r.reply.noSolution.end(), s.offset) != r.reply.noSolution.end();
        if (e->segments[i].direction == Direction::Out && s.size > 0 && !leftOnPurpose && !touched(r.reply, s.offset, s.size))
            byExport_[name].unwritten[s.name].push_back(r.seq);
    }
    for (const SegmentLayout& b : e->readBack) {
        const uint32_t size = b.unit * (b.countFrom == CountFrom::Number ? b.countNumber : 1);
        if (size > 0 && !touched(r.reply, 0, size)) byExport_[name].unwritten[std::string(b.name) + " (read back)"].push_back(r.seq);
    }
}

std::string Audit::listing() const {
    std::string unanswered, unwritten;
    for (const auto& [name, seen] : byExport_) {
        if (!seen.unanswered.empty())
            unanswered += "  " + name + ": " + std::to_string(seen.unanswered.size()) + " (" + seqs(seen.unanswered) + ")\n";
        for (const auto& [segment, list] : seen.unwritten)
            unwritten += "  " + name + " " + segment + ": " + std::to_string(list.size()) + " (" + seqs(list) + ")\n";
    }
    std::string s;
    if (!unanswered.empty()) s += "unanswered requests (no rule, model or recording answered them):\n" + unanswered;
    if (!unwritten.empty()) s += "unwritten out segments (the answer left them as sent):\n" + unwritten;
    return s;
}

std::vector<std::string> Audit::failures() const {
    std::vector<std::string> out;
    for (const auto& [name, seen] : byExport_) {
        for (uint32_t q : seen.unanswered)
            out.push_back("request #" + std::to_string(q) + " " + name + ": nobody answered it (no rule, no model)");
        for (const auto& [segment, list] : seen.unwritten)
            for (uint32_t q : list)
                out.push_back("request #" + std::to_string(q) + " " + name + ": out segment " + segment + " left unwritten");
    }
    return out;
}

}  // namespace kavhost::model
