// What every part of the benchmark shares: the tests' child-process runner with what only the
// benchmark measures, the table of figures, and the one way out when a player fails its part.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/child_process.h"

namespace bench {

using harness::Clock;
using Ms = std::chrono::duration<double, std::milli>;
using std::chrono::milliseconds;
using std::chrono::seconds;

// What bench/run hands over: the media it made, and how often and how long to measure.
struct Setup {
    std::string media;
    int reps = 3;         // real-time playbacks, whose medians count
    double seconds = 60;  // the length of the tracks played to their end
    int tries = 10;       // timed tries of each typed command
};

[[noreturn]] void fail(const std::string& what);

struct Usage {
    double cpuSeconds = 0;  // user + system, all threads
    double peakMb = 0;      // peak resident set
    int status = -1;
};

// Taken before the fork, so that a start-up time counts the whole start.
struct StartTime {
    Clock::time_point at = Clock::now();
};

// A program run in dir with this process's environment (the private sound server's among it) in the
// C locale, and the "NAME=value" entries of extra. SDL_AUDIODRIVER is set only by extra: the player
// chooses its own sound output.
class Child : private StartTime, public harness::Child {
public:
    Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& extra = {});
    Clock::time_point started() const { return at; }
    // The output read so far, forgotten here: for a child that streams without end.
    std::string takeOutput() { return std::exchange(out_, {}); }
    // The moment text appeared in the output after from; the benchmark ends if it does not.
    Clock::time_point expect(const std::string& text, std::size_t from = 0, seconds within = seconds(60));
    // The moment line was written to its input.
    Clock::time_point type(const std::string& line);
    // Closes its input and waits for it to end, killing it after timeout.
    Usage finish(milliseconds timeout = seconds(10));
};

// The tries of one measure, in ms, and how many never saw their effect.
struct Tries {
    std::vector<double> ms;
    int missed = 0;
    void add(Clock::time_point from, std::optional<Clock::time_point> to);
    std::string text() const;  // "median / worst", and the misses
    bool within(double medianMs, double worstMs = 1e9) const;
};

struct Row {
    std::string measure, ours, reference, ratio, target, met;
};
using Table = std::vector<Row>;

double median(std::vector<double> values);
std::string fixed(double value, int decimals);
std::string verdict(bool met);

// CPU and memory of a track played to its end, start-up, listing, and a track change.
void playbackRows(const Setup& setup, Table& table);
// Typed commands, timed to their answer or to what the sink plays.
void latencyRows(const Setup& setup, Table& table);

}  // namespace bench
