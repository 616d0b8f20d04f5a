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

// What bench/run hands over: the media it made, how often to play a track to its end and how long
// it is, how often to time each typed command.
struct Setup {
    std::string media;
    int reps = 3;
    double seconds = 60;
    int tries = 10;
};

[[noreturn]] void fail(const std::string& what);

struct Usage {
    double cpuSeconds = 0;  // user + system, all threads
    double peakMb = 0;
    int status = -1;
};

// A program run in dir with this process's environment and the "NAME=value" entries of extra.
class Child : public harness::Child {
public:
    Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& extra = {});
    // The output read so far, forgotten here: for a child that streams without end.
    std::string takeOutput() { return std::exchange(out_, {}); }
    // The moment text appeared in the output after from; the benchmark ends if it does not.
    Clock::time_point expect(const std::string& text, std::size_t from = 0);
    Clock::time_point type(const std::string& line);   // the moment it was written
    Usage finish(milliseconds timeout = seconds(10));  // closes its input, waits, kills at timeout
};

// The tries of one measure, in ms, and how many never saw their effect.
struct Tries {
    std::vector<double> ms;
    int missed = 0;
    void add(Clock::time_point from, std::optional<Clock::time_point> to);
};

struct Row {
    std::string measure, ours, reference, ratio, target, met;
};
using Table = std::vector<Row>;

double median(std::vector<double> values);
std::string fixed(double value, int decimals);
std::string verdict(bool met);
std::string text(const Tries& tries);  // "median / worst", and the misses
// A row of tries against a target for the median and, unless 0, the worst; no target when medianMs is 0.
void addTimes(Table& table, const std::string& measure, const Tries& tries, double medianMs,
              double worstMs = 0, const std::string& reference = "");

// CPU and memory of a track played to its end, start-up, listing, and a track change.
void playbackRows(const Setup& setup, Table& table);
// Typed commands, timed to their answer or to what the sink plays.
void latencyRows(const Setup& setup, Table& table);

}  // namespace bench
