// How long a typed command takes to be answered and heard: each command typed at a timed moment,
// its effect found at the sink's monitor. The player and mpg123 -R play, one at a time, to the same
// null sink as every other row of the benchmark.
#pragma once

#include <string>
#include <vector>

#include "bench/player/monitor.h"

namespace bench {

// This process's environment with extra's "NAME=value" entries, less SDL_AUDIODRIVER: the player
// chooses its sound output itself unless a run says otherwise.
std::vector<std::string> playerEnvironment(const std::vector<std::string>& extra);

// The times of the tries of one measure, in milliseconds; the tries whose effect never came.
struct Tries {
    std::vector<double> ms;
    int missed = 0;
};

struct LatencySetup {
    std::string media;  // as made by bench/run
    std::string pulse;  // PULSE_SERVER of the private server
    std::string sink;   // its null sink, whose monitor `monitor` records
    int tries = 10;
    Monitor* monitor = nullptr;
};

// The method's own delay: 100 ms of a tone written to pacat (5 ms latency), from the write to its
// onset at the monitor, and from its planned end to the monitor's silence.
struct Calibration {
    Tries onset, end;
};
Calibration calibrate(const LatencySetup& setup);

// The player on a 2-minute track: `time` to the first byte of its answer, then pause, rel, n
// (between tracks of different tones) and f and d (on a track whose tone changes every 3.3 s) to
// what is heard. `stream` names the player's output stream as the server lists it.
struct PlayerLatency {
    Tries answer, pause, resume, next, forward, back;
    std::string stream;
};
PlayerLatency playerLatency(const LatencySetup& setup);

// mpg123 -R on the same tracks: PAUSE, PAUSE again, LOAD of the other track.
struct ReferenceLatency {
    Tries pause, resume, next;
};
ReferenceLatency referenceLatency(const LatencySetup& setup);

// The player on a 1 GB file made of copies of the tone-changing track: jump deep into it, then d
// and f there. copyFrames is the length of one copy as decoded.
struct BigFileLatency {
    Tries jump, forward, back;
};
BigFileLatency bigFileLatency(const LatencySetup& setup, long copyFrames);

}  // namespace bench
