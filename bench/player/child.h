// The tests' child-process runner with what only the benchmark measures: when the child was
// started, what it used (CPU, peak memory), its threads' CPU, and output taken in pieces from a
// child that streams without end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/child_process.h"

namespace bench {

using harness::Clock;

struct Usage {
    double cpuSeconds = 0;  // user + system, all threads
    long maxRssKb = 0;      // peak resident set
    int status = -1;        // exit status; 128 + signal number when killed by a signal
    bool timedOut = false;  // killed because it was still running at the deadline
};

// Taken before the child is forked, so that a start-up time counts the whole start.
struct StartTime {
    Clock::time_point at = Clock::now();
};

class Child : private StartTime, public harness::Child {
public:
    using harness::Child::Child;
    Clock::time_point started() const { return at; }
    // Hands over the output read so far and forgets it, for a child that streams data without end.
    std::string takeOutput() { return std::exchange(out_, {}); }
    // Closes its input, then waits for it to end, killing it after timeout.
    Usage finish(std::chrono::milliseconds timeout);
};

// The environment of this process.
std::vector<std::string> currentEnvironment();
// base with the "NAME=value" entries of extra, which replace those of the same name.
std::vector<std::string> environmentWith(std::vector<std::string> base,
                                         const std::vector<std::string>& extra);
// CPU time a thread has used, in nanoseconds, from the scheduler's own accounting.
std::int64_t threadCpuNs(pid_t pid, pid_t tid);
// The threads of a process.
std::vector<pid_t> threadsOf(pid_t pid);

}  // namespace bench
