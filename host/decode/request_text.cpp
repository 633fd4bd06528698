#include "decode/request_text.h"

#include <cstdio>
#include <sstream>

namespace kavhost {

std::string formatText(const Decoded& d) {
    std::ostringstream o;
    char head[64];
    std::snprintf(head, sizeof head, "code %u  lParam 0x%08X", d.code, d.lParam);
    o << d.nameText() << "  " << head;
    if (!d.lParamText.empty()) o << " (" << d.lParamText << ")";
    if (d.known) o << "  " << d.total << " payload bytes";
    o << "\n";
    for (const DecodedSegment& s : d.segments) {
        char pre[48];
        std::snprintf(pre, sizeof pre, "    @%-5u %5u  ", s.offset, s.size);
        o << pre << s.name << " = " << s.value << "\n";
    }
    if (!d.problem.empty()) o << "    ! " << d.problem << "\n";
    return o.str();
}

// Where a write lands: the request segment that holds its first byte, and
// that segment's value once the writes are in place (", into point; now
// point = (1, 2)"); empty when no segment holds it.
std::string landing(const Decoded& before, const Decoded& after, uint32_t offset) {
    for (size_t i = 0; i < before.segments.size(); ++i) {
        const DecodedSegment& s = before.segments[i];
        if (offset < s.offset || offset >= s.offset + s.size) continue;
        std::string into = ", into " + s.name;
        if (offset != s.offset) into += " +" + std::to_string(offset - s.offset);
        if (i < after.segments.size() && after.segments[i].offset == s.offset)
            into += "; now " + s.name + " = " + after.segments[i].value;
        return into;
    }
    return "";
}

}  // namespace kavhost
