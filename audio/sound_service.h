// The sound service under the playback device: one table of calls, which each service fills once
// (POSIX: the sound module; Windows: MCI; the unit tests: a recorder) and CMake chooses. Plain C
// types only, so that the sound module can hand its table over from behind its own C++ runtime.
// Every call comes from the player's one thread; at most one file is open at a time, and one more
// may be queued to follow it.
#pragma once

#include <cstdint>

extern "C" {

struct SoundService {
    // Opens fileName (UTF-8, relative to the current directory) as MPEG audio; nothing may be
    // open. Non-zero when it could be opened.
    int (*open)(const char* fileName);
    // Plays the open file from fromMs and returns at once; the play runs to the end of the file.
    void (*play)(std::uint32_t fromMs);
    void (*pause)();
    void (*resume)();
    // Nothing is open afterwards; harmless when nothing was.
    void (*close)();
    // The open file's length in milliseconds; 0 when nothing is open or the service can't tell.
    std::uint32_t (*lengthMs)();
    // Zero while that length is an estimate that the service is still making exact (asked again, it
    // may differ); non-zero once it is the file's exact length, and when nothing is open.
    int (*lengthIsExact)();
    // Opens fileName to play right after the open file's end, with no gap between them, in place
    // of any file queued before. Non-zero when it could be opened and will follow.
    int (*queue)(const char* fileName);
    // The queued file no longer follows; harmless when none is queued.
    void (*withdraw)();
    // The queued file, whose sound follows the open one's end, is the open file now; what was open
    // is closed. Non-zero when a file was queued.
    int (*advance)();
    // In how many milliseconds the open file's sound will have been heard to its end; negative
    // when the service can't tell (then the player's clock alone decides).
    std::int64_t (*msUntilEnd)();
    // The process is about to end: what sounds fades out, and the call returns once that has been
    // heard (or a short while has passed).
    void (*finish)();
    // The output's own volume, 0 to 1, which the desktop's bus shows and sets (not the system's);
    // negative when the output has none, and then setVolume does nothing.
    double (*volume)();
    void (*setVolume)(double volume);
};

// The sound module's entry point, which hands over its table (see module_loader.cpp).
using QuavelinSoundEntry = const SoundService* (*)();
}

// Makes the service ready in the background, so that the first track needn't wait for it (the
// POSIX sound module and its libraries load on a thread of their own). Called once the player
// starts, after the command line: --help and the like load nothing.
void prepareSoundService();
// The service this build plays through; waits, on first use, for it to be ready.
const SoundService& soundService();
