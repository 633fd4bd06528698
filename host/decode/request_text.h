// Formatting: one decoded request as readable lines for kavhost's log; its
// JSON form is decodedJson (session.h).
#pragma once
#include "decode/decoder.h"

#include <string>

namespace kavhost {

// One request as readable lines (with a trailing newline).
std::string formatText(const Decoded& d);

// Where a write at payload `offset` lands in the request decoded as `before`,
// with the value `after` (the payload once written) gives that segment.
std::string landing(const Decoded& before, const Decoded& after, uint32_t offset);

}  // namespace kavhost
