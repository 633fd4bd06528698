// The shapes a request carries, read from its payload bytes through its
// export's layout: for the picture of a replay that stopped at a request
// (what the recording expected and what the command sent).
#pragma once
#include "picture/svg.h"

#include <cstdint>
#include <vector>

namespace kavhost::picture {

// Every shape record the command sent in the request (segments copied to
// the host, one record each), with the text behind a string's position.
// A request of an unknown code or a payload cut short gives what fits.
std::vector<Shape> requestShapes(uint32_t code, uint32_t lParam, const std::vector<uint8_t>& payload);

}  // namespace kavhost::picture
