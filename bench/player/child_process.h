// A program run as the benchmark's subject: started with pipes on its standard streams, fed input
// while it runs, its output watched for the moment a text appears, and its resource use taken
// when it ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

struct Usage {
    double cpuSeconds = 0;  // user + system, all threads
    long maxRssKb = 0;      // peak resident set
    int status = -1;        // exit status; 128 + signal when killed
};

class Child {
public:
    // Starts argv[0] (a path, or a name looked up in PATH) in dir, with the current environment
    // plus env's "NAME=value" entries, which replace those of the same name.
    Child(const std::vector<std::string>& argv, const std::string& dir, const std::vector<std::string>& env);
    ~Child();  // kills a child that is still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }
    const std::string& output() const { return out_; }
    const std::string& errors() const { return err_; }

    void write(std::string_view text);
    // Reads output until it holds needle past from (the whole output by default); the time at
    // which it was read, or nothing when the deadline passed or the output ended first.
    std::optional<Clock::time_point> waitFor(std::string_view needle, Clock::time_point deadline,
                                             std::size_t from = 0);
    // Takes in whatever output is ready, without waiting.
    void pump() { readSome(0); }
    // Closes its input and waits for it to end (killing it after timeout).
    Usage finish(std::chrono::milliseconds timeout);

private:
    bool readSome(int timeoutMs);  // false once both outputs have ended

    pid_t pid_ = -1;
    int in_ = -1, out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
    Clock::time_point started_;
    bool reaped_ = false;
};

// CPU time a thread has used, in nanoseconds, from the scheduler's own accounting.
std::int64_t threadCpuNs(pid_t pid, pid_t tid);
// The threads of a process.
std::vector<pid_t> threadsOf(pid_t pid);

}  // namespace bench
