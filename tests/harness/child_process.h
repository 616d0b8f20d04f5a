// A program run by the end-to-end tests and the benchmark: started with pipes on its standard
// streams, fed input while it runs, its output watched for the moment a text appears, and its exit
// status and resource use taken when it ends. No test framework: bench/ links it too.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace harness {

using Clock = std::chrono::steady_clock;

struct Usage {
    double cpuSeconds = 0;  // user + system, all threads
    long maxRssKb = 0;      // peak resident set
    int status = -1;        // exit status; 128 + signal number when killed by a signal
    bool timedOut = false;  // killed because it was still running at the deadline
};

// The environment of this process.
std::vector<std::string> currentEnvironment();
// base with the "NAME=value" entries of extra, which replace those of the same name.
std::vector<std::string> environmentWith(std::vector<std::string> base,
                                         const std::vector<std::string>& extra);

class Child {
public:
    // Starts argv[0] (a path, or a name looked up in PATH) in dir with exactly the environment env.
    Child(const std::vector<std::string>& argv, const std::string& dir, const std::vector<std::string>& env);
    ~Child();  // kills a child that is still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }
    const std::string& output() const { return out_; }
    const std::string& errors() const { return err_; }
    // Hands over the output read so far and forgets it, for a child that streams data without end.
    std::string takeOutput() { return std::exchange(out_, {}); }

    // Writes to its input; false once it no longer reads it (it has ended). May be called from
    // another thread than the one reading the output.
    bool write(std::string_view text);
    void closeInput();
    // Takes in the output that comes within timeoutMs; false once both outputs have ended.
    bool readSome(int timeoutMs);
    // Reads output until it holds needle past from (the whole output by default); the time at
    // which it was read, or nothing when the deadline passed or the output ended first.
    std::optional<Clock::time_point> waitFor(std::string_view needle, Clock::time_point deadline,
                                             std::size_t from = 0);
    // Reads the rest of its output and waits for it to end, killing it at the deadline. The input
    // stays as it is: closing it is the caller's choice.
    Usage wait(Clock::time_point deadline);
    // Closes its input, then waits as above.
    Usage finish(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int in_ = -1, outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    Clock::time_point started_;
    bool reaped_ = false;
};

// CPU time a thread has used, in nanoseconds, from the scheduler's own accounting.
std::int64_t threadCpuNs(pid_t pid, pid_t tid);
// The threads of a process.
std::vector<pid_t> threadsOf(pid_t pid);

}  // namespace harness
