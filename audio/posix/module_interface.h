// The sound module's entry points: plain C functions, so that the player binary can find them
// with dlsym and no C++ object crosses between the two (each carries its own C++ runtime).
#pragma once

#include <cstdint>

extern "C" {

// format is a backend::Format as a number: 0 MPEG audio, 1 wave.
using QuavelinSoundOpen = std::uint32_t (*)(int format, const char* fileName);
using QuavelinSoundPlay = void (*)(std::uint32_t id, std::uint32_t fromMs);
using QuavelinSoundPause = void (*)(std::uint32_t id);
using QuavelinSoundResume = void (*)(std::uint32_t id);
using QuavelinSoundClose = void (*)(std::uint32_t id);
// Non-zero when the length is known, with it in *milliseconds.
using QuavelinSoundLengthMs = int (*)(std::uint32_t id, std::uint32_t* milliseconds);
}

namespace sound_module {

// The module's file name and the names of its entry points.
inline constexpr const char* kFileName = "quavelin-sound.so";
inline constexpr const char* kOpen = "quavelin_sound_open";
inline constexpr const char* kPlay = "quavelin_sound_play";
inline constexpr const char* kPause = "quavelin_sound_pause";
inline constexpr const char* kResume = "quavelin_sound_resume";
inline constexpr const char* kClose = "quavelin_sound_close";
inline constexpr const char* kLengthMs = "quavelin_sound_length_ms";

}  // namespace sound_module
