// The POSIX sound service's table: handed over by the sound module's entry point, or linked in
// directly (the tests' build).
#pragma once

#include "audio/sound_service.h"

namespace sound {

extern const SoundService kService;

// The module's file name and the name of its entry point.
inline constexpr const char* kModuleFileName = "quavelin-sound.so";
inline constexpr const char* kModuleEntry = "quavelin_sound_entry";

}  // namespace sound
