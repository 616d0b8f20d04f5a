// What the four bytes of an MPEG audio frame header say about the frame's timing.
#pragma once

#include <array>

namespace sound {

// The sampling rate in Hz, or 0 when the bytes are no valid header.
long mpegHeaderRate(const std::array<unsigned char, 4>& header);
// Samples per frame and channel for an mpg123_version (0: MPEG 1, 1: MPEG 2, 2: MPEG 2.5) and layer.
int mpegSamplesPerFrame(int version, int layer);

}  // namespace sound
