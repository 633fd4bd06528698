#include "model/parity.h"

#include "recording/field_session.h"
#include "report.h"
#include "script/host_text.h"
#include "model/model.h"

#include <algorithm>
#include <map>
#include <memory>

namespace kavhost::model {
namespace {

struct Counts {
    int agreed = 0, differed = 0, notModelled = 0, learned = 0;
};

struct Verdicts {
    int confirmed = 0, contradicted = 0;
};

std::vector<uint8_t> written(const std::vector<uint8_t>& request, const std::vector<PayloadWrite>& writes) {
    std::vector<uint8_t> b = request;
    for (const PayloadWrite& w : writes) {
        if (b.size() < w.offset + w.bytes.size()) b.resize(w.offset + w.bytes.size());
        std::copy(w.bytes.begin(), w.bytes.end(), b.begin() + w.offset);
    }
    return b;
}

bool sameRange(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t from, uint32_t size) {
    for (uint32_t i = from; i < from + size; ++i) {
        const uint8_t x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y) return false;
    }
    return true;
}

// What the model cannot have seen: learned from the host, not judged.
bool learnedOnly(const ExportLayout& e, uint32_t lParam, const Model& m, bool maskSet) {
    const std::string_view n = e.name;
    if (n == "VokGetEventMask") return !maskSet;
    if ((e.code >= 1220 && e.code <= 1239) || n == "VokAssignLink" || n == "VokAssignMark" || n == "VokCreateGroup" ||
        n == "VokGetCSBHandle")
        return true;
    if (e.lparam == LParamForm::Arg32 && e.lparamArgs[0] >= 0 &&
        std::string_view(e.args[static_cast<size_t>(e.lparamArgs[0])].name) == "element")
        return m.drawing().live(static_cast<int32_t>(lParam)) == nullptr;
    return false;
}

}  // namespace

int runParity(const std::vector<std::string>& files, const Profile& profile, FILE* out, FILE* err) {
    std::map<std::string, Counts> counts;
    std::map<std::string, Verdicts> verdicts;
    std::vector<std::string> differences;
    size_t differed = 0;
    for (const std::string& file : files) {
        Session session;
        try {
            session = readSessionFile(file).session;
        } catch (const InputError& e) {
            report(refused("recorded session", file, e), err);
            return kParityUnreadable;
        }
        Model model(profile);
        bool maskSet = false;
        for (const RecordedStep& step : session.steps) {
            if (step.isEvent) {
                const EventCall call = step.call();
                DeliveredEvent e;
                e.seq = step.seq;
                e.method = call.method;
                e.args = call.args;
                if (const EventMethod* m = findEventMethod(call.method)) e.types = m->params;
                model.delivered(e);
                continue;
            }
            const RecordedRequest& rec = step.request;
            if (rec.message != kav::kRequestMessage) continue;
            LoggedRequest r;
            r.seq = step.seq;
            r.message = rec.message;
            r.decoded = decode(rec.code, rec.lParam, rec.request.data(), rec.request.size());
            r.request = rec.request;
            const ExportLayout* e = rowOf(r.decoded);
            if (!e) continue;
            Counts& c = counts[r.decoded.nameText()];
            Reply host;
            host.answer = rec.answer;
            host.writes = rec.writes;
            host.source = "recording";
            if (learnedOnly(*e, rec.lParam, model, maskSet)) {
                ++c.learned;
                r.reply = host;
                model.learn(r);
                continue;
            }
            if (std::string_view(e->name) == "VokSetEventMask") maskSet = true;
            Reply mine;
            if (!model.answer(r, mine)) {
                ++c.notModelled;
                r.reply = host;
                model.learn(r);
                continue;
            }
            // The answer as the caller reads it, and the bytes the library copies back.
            bool same = true;
            if (e->result == ResultForm::I16) same = (mine.answer & 0xFFFF) == (host.answer & 0xFFFF);
            else if (e->result != ResultForm::F64) same = mine.answer == host.answer;
            std::string what;
            if (!same)
                what = "answer: host " + std::to_string(static_cast<int32_t>(host.answer)) + ", model " +
                       std::to_string(static_cast<int32_t>(mine.answer));
            const std::vector<uint8_t> a = written(rec.request, host.writes), b = written(rec.request, mine.writes);
            const Decoded da = decode(rec.code, rec.lParam, a.data(), a.size());
            const Decoded db = decode(rec.code, rec.lParam, b.data(), b.size());
            for (size_t i = 0; i < e->segments.size() && i < r.decoded.segments.size(); ++i) {
                const DecodedSegment& s = r.decoded.segments[i];
                if (e->segments[i].direction == Direction::In || sameRange(a, b, s.offset, s.size)) continue;
                same = false;
                what += (what.empty() ? "" : "; ") + s.name + ": host " +
                        (i < da.segments.size() ? da.segments[i].value : "?") + ", model " +
                        (i < db.segments.size() ? db.segments[i].value : "?");
            }
            for (const SegmentLayout& back : e->readBack) {
                const uint32_t size = back.unit * (back.countFrom == CountFrom::Number ? back.countNumber : 1);
                if (sameRange(a, b, 0, size)) continue;
                same = false;
                what += (what.empty() ? "" : "; ") + std::string(back.name) + " (read back): host " +
                        hexText(a.data(), std::min<size_t>(size, a.size()), 16) + ", model " +
                        hexText(b.data(), std::min<size_t>(size, b.size()), 16);
            }
            const std::string& key = model.lastProfileKey();
            if (same) {
                ++c.agreed;
                if (!key.empty()) ++verdicts[key].confirmed;
            } else {
                ++c.differed;
                ++differed;
                if (!key.empty()) ++verdicts[key].contradicted;
                if (differences.size() < 10)
                    differences.push_back(file + " seq " + std::to_string(step.seq) + " (line " + std::to_string(step.line) +
                                          ") " + r.decoded.nameText() + ": " + what);
                // The host's state is the one that goes on.
                r.reply = host;
            }
        }
    }
    std::string learned;
    for (const auto& [name, c] : counts) {
        std::fprintf(out, "%s: agreed %d, differed %d, not modelled %d\n", name.c_str(), c.agreed, c.differed, c.notModelled);
        if (c.learned) learned += (learned.empty() ? "" : ", ") + name + " " + std::to_string(c.learned);
    }
    if (!learned.empty()) std::fprintf(out, "learned from the host, not judged: %s\n", learned.c_str());
    if (!differences.empty()) {
        std::fprintf(out, "first differences:\n");
        for (const std::string& d : differences) std::fprintf(out, "  %s\n", d.c_str());
    }
    if (!verdicts.empty()) {
        std::fprintf(out, "profile values (%s):\n", profile.name().c_str());
        for (const auto& [key, v] : verdicts) {
            const std::string now = profile.status(key);
            if (v.contradicted)
                std::fprintf(out, "  %s: contradicted by %d answers (agreed with %d; the profile says %s)\n", key.c_str(),
                             v.contradicted, v.confirmed, now.c_str());
            else
                std::fprintf(out, "  %s: confirmed by %d answers (the profile says %s)\n", key.c_str(), v.confirmed,
                             now.c_str());
        }
    }
    return differed ? kParityDiffers : kParityAgrees;
}

}  // namespace kavhost::model
