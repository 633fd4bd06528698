// Decoding values: the readable form of a segment's bytes (records read
// through their declarations in kavlink_records.h).
#pragma once
#include "decode/layout_table.h"

#include <cstdint>
#include <string>

namespace kavhost {

// `size` bytes of segment `s` at `p`, readable (UTF-8).
std::string segmentValue(const SegmentLayout& s, const uint8_t* p, uint32_t size);

}  // namespace kavhost
