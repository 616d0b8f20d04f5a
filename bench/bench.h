// What every part of the benchmark shares: the tests' child-process runner with what only the
// benchmark needs, the table of figures, and the one way out when a program fails its part.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/harness/child_process.h"

namespace bench {

using harness::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// What bench/run hands over: its media, the plays of a track to its end and their length, the tries.
struct Setup {
    std::string media;
    int reps = 3;
    double seconds = 60;
    int tries = 10;
};

[[noreturn]] void fail(const std::string& what);

// A program run in dir with this process's environment and the "NAME=value" entries of extra.
class Child : public harness::Child {
public:
    Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& extra = {});
    std::string takeOutput() { return std::exchange(out_, {}); }  // for a child that streams without end
    // The moment text was read in the output after from; the benchmark ends if it is not.
    Clock::time_point expect(const std::string& text, std::size_t from = 0);
    Clock::time_point type(const std::string& line);  // the moment it was written
    // Closes its input, waits for the end (killing it at timeout): CPU seconds, peak MB, exit status.
    std::tuple<double, double, int> finish(milliseconds timeout = seconds(10));
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
// A row of tries against a target for the median and, unless 0, the worst; none when medianMs is 0.
void addTimes(Table& table, const std::string& measure, const Tries& tries, double medianMs,
              double worstMs = 0, const std::string& reference = "");

void playbackRows(const Setup& setup, Table& table);  // tracks played to their end, start-up, listing
void latencyRows(const Setup& setup, Table& table);   // the first sound, commands to their answer or sound
void soundRows(const Setup& setup, Table& table);     // clicks, joins and a sine at its own rate

}  // namespace bench
