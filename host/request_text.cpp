#include "request_text.h"

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

}  // namespace kavhost
