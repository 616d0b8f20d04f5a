// The one format the sound output runs in for the whole process. The decoders deliver it, so a
// track change never reopens the output and the output never converts.
#pragma once

#include <cstdint>

namespace sound {

// 44.1 kHz is the rate of nearly every MP3: the common file needs no resampling.
constexpr int kRate = 44100;
constexpr int kChannels = 2;  // 32-bit float samples in the machine's byte order, interleaved
constexpr int kBytesPerFrame = kChannels * static_cast<int>(sizeof(float));
// Frames per buffer of SDL's output (used where no sound server answers): about 186 ms, so that
// its audio thread wakes only a few times a second.
constexpr std::uint16_t kBufferFrames = 8192;

}  // namespace sound
