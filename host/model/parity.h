// Parity with the real host: the model answers the requests of sessions
// recorded in the field (or by kavhost) and its answers and written bytes
// are compared with the host's.  What the model cannot have seen is learned
// from the host's answer and not judged: the mask the host had before the
// command set one, an element the session never made, and the numbers the
// host chose (element indices, panel handles, links, marks, groups).
#pragma once
#include "model/profile.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kavhost::model {

inline constexpr int kParityAgrees = 0;
inline constexpr int kParityUnreadable = 2;
inline constexpr int kParityDiffers = 4;

// Reads each session in order (a fresh model for each), prints to `out`
//   <export>: agreed N, differed N, not modelled N
// per export, then the first differences decoded, then the profile values
// the sessions confirmed or contradicted; returns kParityAgrees,
// kParityDiffers, or kParityUnreadable (the reason on `err`).
int runParity(const std::vector<std::string>& files, const Profile& profile, FILE* out, FILE* err);

}  // namespace kavhost::model
