// The show's music: an original tracker module composed and synthesised by the data builder.
// The show's timeline runs on its position (29 orders of 64 rows at speed 6, 145 BPM).
#pragma once

#include <cstdint>
#include <vector>

namespace builder {

// The complete FastTracker 2 module (.xm) file. Deterministic: the same bytes on every run.
std::vector<uint8_t> buildModule();

}  // namespace builder
