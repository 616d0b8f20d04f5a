// What the sound output plays, read back through SDL's disk driver. The driver writes into a
// named pipe that this process reads, so with SDL_DISKAUDIODELAY=0 the audio thread runs exactly
// as fast as a test reads and nothing piles up on disk.
#pragma once

#include <cstddef>
#include <vector>

namespace disk_capture {

// Sets SDL's variables (disk driver, the pipe, no delay). Call before the first play of the process.
void start();
// The next frames of the output's left channel. Fails the test (and returns fewer) when the
// output stops delivering.
std::vector<float> next(std::size_t frames);
// Skips the silence in front of a play's first sound and returns frames from that sound on.
std::vector<float> fromFirstSound(std::size_t frames);
// Reads on until the output has been silent for longer than any buffering holds: whatever
// played before is then out of the pipe.
void drainToSilence();

}  // namespace disk_capture
