#include "replay/replay.h"

#include "decode/decoder.h"
#include "script/host_text.h"

#include <algorithm>

namespace kavhost {
namespace {

std::string what(const std::string& exportName, uint32_t message, uint32_t code) {
    if (message == kav::kExitCommandMessage) return "ExitCommandMessage (VokExitCommand)";
    return (exportName.empty() ? std::string("an unknown export") : exportName) + " (code " + std::to_string(code) + ")";
}

std::string what(const LoggedRequest& r) {
    return what(r.message == kav::kExitCommandMessage ? "" : r.decoded.nameText(), r.message, r.decoded.code);
}

// An event as the recording has it: "VokProcButtonEvent(7, 8, 1) inside the dialog".
std::string shown(const RecordedEvent& e) {
    std::string args;
    for (const Json& a : e.args) args += (args.empty() ? "" : ", ") + jsonLine(a);
    return e.method + "(" + args + ")" + (e.inDialog ? " inside the dialog" : "") +
           (e.inside ? " inside request seq " + std::to_string(e.inside) : "");
}

// Which segment holds `offset`; -1 for none.
int segmentAt(const Decoded& d, uint32_t offset) {
    for (size_t i = 0; i < d.segments.size(); ++i)
        if (offset >= d.segments[i].offset && offset < d.segments[i].offset + d.segments[i].size) return static_cast<int>(i);
    return -1;
}

std::string bytesOf(const std::vector<uint8_t>& b, uint32_t from, uint32_t size) {
    if (from >= b.size()) return "(none)";
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(b.size()) - from);
    return n ? hexText(b.data() + from, n, 32) : "(none)";
}

}  // namespace

std::string describeDifference(uint32_t number, const RecordedRequest& e, int line, const LoggedRequest& a) {
    const std::string head = "request #" + std::to_string(number);
    const std::string actualName = a.message == kav::kExitCommandMessage ? "" : a.decoded.nameText();
    if (e.message != a.message || e.code != a.decoded.code)
        return head + ": expected " + what(e.exportName, e.message, e.code) + " (recording line " +
               std::to_string(line) + "), the command made " + what(actualName, a.message, a.decoded.code);
    if (a.message == kav::kExitCommandMessage) return "";
    const std::string where = head + ", " + what(actualName, a.message, a.decoded.code);
    const Decoded expected = decode(e.code, e.lParam, e.request.data(), e.request.size());
    if (e.lParam != a.decoded.lParam)
        return where + ": lParam differs\n  expected " + hex32(e.lParam) +
               (expected.lParamText.empty() ? "" : " (" + expected.lParamText + ")") + "\n  actual   " +
               hex32(a.decoded.lParam) + (a.decoded.lParamText.empty() ? "" : " (" + a.decoded.lParamText + ")");
    const std::vector<uint8_t>& x = e.request;
    const std::vector<uint8_t>& y = a.request;
    uint32_t at = 0;
    while (at < x.size() && at < y.size() && x[at] == y[at]) ++at;
    if (at == x.size() && at == y.size()) return "";
    const int si = segmentAt(a.decoded, at) >= 0 ? segmentAt(a.decoded, at) : segmentAt(expected, at);
    std::string s = where + ": ";
    if (si < 0) {
        return s + "the request has " + std::to_string(y.size()) + " payload bytes, the recording " +
               std::to_string(x.size()) + " (first difference at payload offset " + std::to_string(at) + ")";
    }
    const size_t i = static_cast<size_t>(si);
    const DecodedSegment* es = i < expected.segments.size() ? &expected.segments[i] : nullptr;
    const DecodedSegment* as = i < a.decoded.segments.size() ? &a.decoded.segments[i] : nullptr;
    const DecodedSegment& seg = as ? *as : *es;
    s += "segment " + seg.name + " differs at payload offset " + std::to_string(at) + " (byte " +
         std::to_string(at - seg.offset) + " of the segment)";
    s += "\n  expected " + (es ? bytesOf(x, es->offset, es->size) + "  (" + es->name + " = " + es->value + ")" : "(none)");
    s += "\n  actual   " + (as ? bytesOf(y, as->offset, as->size) + "  (" + as->name + " = " + as->value + ")" : "(none)");
    return s;
}

Replayer::Replayer(const Session& session, std::function<void(const std::string&)> onDifference)
    : version_(session.version), steps_(session.steps), onDifference_(std::move(onDifference)) {
    for (const RecordedStep& s : steps_) recordedRequests_ += s.isEvent ? 0 : 1;
}

void Replayer::differ(const std::string& diff) {
    if (!difference_.empty()) return;
    difference_ = diff;
    if (onDifference_) onDifference_(diff);
}

// The recording's next step is a request that did not come.
std::string Replayer::nextRequestMissing(const std::string& instead) const {
    const RecordedStep& s = steps_[next_];
    // Numbered as the log numbers it: the recording's seq for the request that did not come.
    return "request #" + std::to_string(s.seq ? s.seq : requests_ + 1) + ": the recording has " +
           what(s.request.exportName, s.request.message, s.request.code) + " next (line " + std::to_string(s.line) +
           "), but " + instead;
}

Reply Replayer::reply(const LoggedRequest& r) {
    Reply out;
    out.source = "replay stopped";
    if (differed()) return out;
    ++requests_;
    const uint32_t number = r.seq;  // as the log, --show and the recording's seq number it
    stoppedAt_ = r.seq;             // until the request turns out to be the recorded one
    if (next_ >= steps_.size()) {
        differ("request #" + std::to_string(number) + ": the command made " + what(r) + ", but the recording ends after " +
               std::to_string(recordedRequests_) + " requests");
        return out;
    }
    const RecordedStep& s = steps_[next_];
    if (s.isEvent) {
        differ("request #" + std::to_string(number) + ": the command made " + what(r) +
               ", but the recording has no more requests before " + s.event.method + " (line " + std::to_string(s.line) + ")");
        return out;
    }
    ++next_;
    if (const std::string diff = describeDifference(number, s.request, s.line, r); !diff.empty()) {
        expected_ = &s.request;
        differ(diff);
        return out;
    }
    stoppedAt_ = 0;
    out.answer = s.request.answer;
    out.writes = s.request.writes;
    out.source = "recording line " + std::to_string(s.line);
    if (next_ < steps_.size() && steps_[next_].isEvent && steps_[next_].event.inside == s.seq)
        out.inside = steps_[next_].call();
    return out;
}

bool Replayer::delivering(const DeliveredEvent& e) {
    if (differed()) return false;
    if (version_ < 2) return true;
    if (next_ >= steps_.size()) {
        differ(e.label + ": the recording has no more events");
        return false;
    }
    const RecordedStep& s = steps_[next_];
    if (!s.isEvent) {
        differ(nextRequestMissing("the command made no more requests before " + e.label));
        return false;
    }
    Json args = argumentsJson(e.types, e.args);
    Json recorded = s.event.args;
    if (e.method == "VokProcStartCmd" && !args.empty() && !recorded.empty()) args[0] = recorded[0] = nullptr;  // the window
    if (e.method != s.event.method || e.inDialog != s.event.inDialog || (e.inside != 0) != (s.event.inside != 0) ||
        args != recorded || e.nCodeIn() != s.event.nCode) {
        const RecordedEvent delivered{e.method, args, false, 0, 0, 0, e.inDialog, e.inside};
        differ(e.label + ": kavhost delivers " + shown(delivered) + ", the recording " + shown(s.event) + " (line " +
               std::to_string(s.line) + ")");
        return false;
    }
    open_.push_back(next_++);
    return true;
}

void Replayer::returned(const DeliveredEvent& e) {
    if (version_ < 2 || open_.empty()) return;
    const RecordedStep& s = steps_[open_.back()];
    open_.pop_back();
    if (differed()) return;
    const std::string where = " (line " + std::to_string(s.line) + ")";
    if (e.hr != s.event.hr)
        differ(e.label + " returned " + describeHresult(e.hr) + ", the recording " + describeHresult(s.event.hr) + where);
    else if (s.event.hasCode && e.nCodeOut != s.event.nCodeOut)
        differ(e.label + " gave back nCode " + std::to_string(e.nCodeOut) + ", the recording " +
               std::to_string(s.event.nCodeOut) + where);
}

std::string Replayer::waitingFor() const {
    if (differed() || next_ >= steps_.size()) return {};
    const RecordedStep& s = steps_[next_];
    const std::string line = " (recording line " + std::to_string(s.line) + ")";
    if (s.isEvent) return "the next recorded event, " + shown(s.event) + line;
    return "the next recorded request, #" + std::to_string(requests_ + 1) + " " +
           what(s.request.exportName, s.request.message, s.request.code) + line;
}

void Replayer::sessionEnds(bool commandEnded) {
    if (differed() || next_ >= steps_.size()) return;
    const RecordedStep& s = steps_[next_];
    if (!s.isEvent) {
        differ(nextRequestMissing("the command made no more requests"));
        return;
    }
    differ("the recording delivers " + shown(s.event) + " next (line " + std::to_string(s.line) + "), but " +
           (commandEnded ? "the command had ended" : "the session delivered no more events"));
}

}  // namespace kavhost
