// Decoding requests: a request (command code, lParam, payload bytes) back
// into the export it came from and its segments with offsets, sizes and
// readable values, from the generated layout table.
#pragma once
#include "kav/protocol.h"
#include "decode/layout_table.h"
#include "decode/segment_values.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavhost {

struct DecodedSegment {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
    std::string value;   // readable, UTF-8
};

struct Decoded {
    uint32_t code = 0;
    uint32_t lParam = 0;
    bool known = false;              // the code belongs to an export
    std::vector<std::string> names;  // candidate exports (two for a shared code)
    const ExportLayout* layout = nullptr;  // the row of names.front(), along which the segments lie
    std::string lParamText;          // "element = 5"
    std::vector<DecodedSegment> segments;
    uint32_t total = 0;              // payload bytes of the request
    std::string problem;             // set when the payload does not fit the layout
    bool described = false;          // lParamText and the segments' values are filled in
    std::string nameText() const;    // "A" or "A | B"
};

// The row a request was decoded along (looked up by its first name when
// `d` was put together by hand), or null for an unknown code.
inline const ExportLayout* rowOf(const Decoded& d) {
    return d.layout ? d.layout : d.names.empty() ? nullptr : findLayout(d.names.front());
}

// Decodes a request whose payload area holds `payload` (at most
// kav::kPayloadSize bytes are looked at).  Never throws for bad data.
Decoded decode(uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size);

// The same into `d`, whose strings and lists are reused (a host decodes
// every request into one object and allocates nothing once they have
// grown).  Without `describe`, lParamText and the values are left empty for
// describe() to fill in when a log asks for them.
void decodeInto(Decoded& d, uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size, bool describe);

// Fills in lParamText and the segments' readable values of a request
// decoded from `payload` (the same bytes, or the first d.total of them).
void describe(Decoded& d, const uint8_t* payload);

}  // namespace kavhost
