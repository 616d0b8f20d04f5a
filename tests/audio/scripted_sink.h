// A sink whose timing the test scripts, in place of the sound server or SDL: the output renders into
// it as into a real one, and the test moves what the listener has heard, frame by frame. It plays
// the three kinds of sink there are: one that plays again whatever it holds that has not been heard
// (PulseAudio), one that never plays again what it has read, a quantum ahead of what is heard
// (PipeWire's pulse server), and one that can neither tell where the sound is nor take anything
// back (SDL).
#pragma once

#include <cstdint>
#include <vector>

namespace scripted {

enum class Kind { Rewinds, ReadsAhead, Blind };

constexpr int kRate = 48000;

struct Setup {
    Kind kind = Kind::Rewinds;
    std::int64_t heldFrames = 0;  // what the server holds ahead of what is heard (its latency)
};

// A new sink state: nothing heard, nothing written, from the output's next frame on.
void reset(Setup setup);
// The listener hears frames more; the server asks for more as it plays.
void hear(std::int64_t frames);
// Everything the listener heard since the reset, one channel, frame by frame.
const std::vector<float>& heard();
// The index in heard() of the stream frame the change rule gives now: heard + 10 ms on, or the
// first frame the sink can still replace.
std::int64_t changePoint();

}  // namespace scripted
