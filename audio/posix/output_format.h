// The one format the sound output runs in for the whole process. Every file is converted to it on
// the way out, so a track change never reopens the output.
#pragma once

#include <SDL.h>

namespace sound {

// 44.1 kHz is the rate of nearly every MP3: the common file needs no resampling.
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr SDL_AudioFormat kFormat = AUDIO_F32SYS;
constexpr int kBytesPerFrame = kChannels * static_cast<int>(sizeof(float));
// Frames per output buffer: about 186 ms. The audio thread then wakes only a few times a second,
// which keeps its CPU time below that of mpg123 playing the same file (with 4096 frames it is
// about the same, with 1024 more than twice as much); a pause or a move is heard within about a
// fifth of a second, no longer than the player's own poll.
constexpr Uint16 kBufferFrames = 8192;

}  // namespace sound
