// Formatting: one decoded request as readable lines for kavhost's log; its
// JSON form is decodedJson (session.h).
#pragma once
#include "decoder.h"

#include <string>

namespace kavhost {

// One request as readable lines (with a trailing newline).
std::string formatText(const Decoded& d);

}  // namespace kavhost
