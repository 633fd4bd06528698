// Nothing answered silently: which requests nobody answered (no script rule,
// no model, no recording: the layout table's default answer stood), and
// which out segments of answered requests came back untouched (no write of
// the reply reached them), grouped by export.  In-out segments are not
// judged: the caller's own bytes coming back is an answer there.  An answer
// of the profile's "none" writes nothing by design, and an export that
// copies back only on success copies nothing after a failed answer; neither
// leaves an unwritten segment.
#pragma once
#include "exchange.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kavhost::model {

class Audit {
public:
    explicit Audit(int32_t none = 0) : none_(none) {}
    // One request with its reply, after the reply's writes.
    void check(const LoggedRequest& r);
    bool clean() const { return byExport_.empty(); }
    // The listing, one line per export and kind ("" when clean).
    std::string listing() const;
    // One line per request and segment, for --strict.
    std::vector<std::string> failures() const;

private:
    struct Seen {
        std::vector<uint32_t> unanswered;                          // seqs
        std::map<std::string, std::vector<uint32_t>> unwritten;    // segment -> seqs
    };
    int32_t none_;
    std::map<std::string, Seen> byExport_;
};

}  // namespace kavhost::model
