// The format the sound output runs in: 32-bit float stereo at the sink's own rate, which the
// decoders deliver, so that the sink converts nothing and a file at that rate is never converted.
#pragma once

#include <cstdint>

namespace sound {

// The rate asked for where the sink has none of its own to give (SDL's disk and dummy outputs),
// and the rate a track is decoded at until an output tells it another: 44.1 kHz is the rate of
// nearly every MP3.
constexpr int kDefaultRate = 44100;
constexpr int kChannels = 2;  // 32-bit float samples in the machine's byte order, interleaved
constexpr int kBytesPerFrame = kChannels * static_cast<int>(sizeof(float));
// Frames per buffer of SDL's output (used where no sound server answers): about 186 ms, so that
// its audio thread wakes only a few times a second.
constexpr std::uint16_t kBufferFrames = 8192;

// Frames in ms milliseconds at rate, and back (rounded down).
constexpr std::int64_t framesIn(std::int64_t ms, std::int64_t rate) { return ms * rate / 1000; }
constexpr std::int64_t msIn(std::int64_t frames, std::int64_t rate) { return frames * 1000 / rate; }

}  // namespace sound
