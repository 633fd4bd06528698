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
    std::string lParamText;          // "element = 5"
    std::vector<DecodedSegment> segments;
    uint32_t total = 0;              // payload bytes of the request
    std::string problem;             // set when the payload does not fit the layout
    std::string nameText() const;    // "A" or "A | B"
};

// Decodes a request whose payload area holds `payload` (at most
// kav::kPayloadSize bytes are looked at).  Never throws for bad data.
Decoded decode(uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size);

}  // namespace kavhost
