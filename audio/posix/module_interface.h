// The sound module's one entry point, which hands over a table of plain C functions, so that the
// player binary finds it with dlsym and no C++ object crosses between the two (each carries its
// own C++ runtime).
#pragma once

#include <cstdint>

extern "C" {

// The sound service's calls, each the backend function of the same name.
struct QuavelinSound {
    // format is a backend::Format as a number: 0 MPEG audio, 1 wave.
    std::uint32_t (*open)(int format, const char* fileName);
    void (*play)(std::uint32_t id, std::uint32_t fromMs);
    void (*pause)(std::uint32_t id);
    void (*resume)(std::uint32_t id);
    void (*close)(std::uint32_t id);
    // Non-zero when the length is known, with it in *milliseconds.
    int (*lengthMs)(std::uint32_t id, std::uint32_t* milliseconds);
};

// Fills *sound with the module's calls.
using QuavelinSoundEntry = void (*)(QuavelinSound* sound);
}

namespace sound_module {

// The module's file name and the name of its entry point.
inline constexpr const char* kFileName = "quavelin-sound.so";
inline constexpr const char* kEntry = "quavelin_sound_entry";

}  // namespace sound_module
