// A program run by the end-to-end tests and the benchmark: started with pipes on its standard
// streams, fed input while it runs, its output watched for the moment a text appears, and its exit
// status taken when it ends. No test framework: bench/ builds on it too.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harness {

using Clock = std::chrono::steady_clock;

struct Ended {
    int status = -1;        // exit status; 128 + signal number when killed by a signal
    bool timedOut = false;  // killed because it was still running at the deadline
    rusage resources{};     // what it used, as the system counted it
};

class Child {
public:
    // Starts argv[0] (a path, or a name looked up in PATH) in dir with exactly the environment env;
    // with inputClosed, without any standard input (nothing written to it arrives).
    Child(std::vector<std::string> argv, const std::string& dir, std::vector<std::string> env,
          bool inputClosed = false);
    ~Child();  // kills a child that is still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& output() const { return out_; }
    const std::string& errors() const { return err_; }
    // Writes to its input; false once it no longer reads it. Safe beside a thread reading output.
    bool write(std::string_view text);
    void closeInput();
    // Takes in the output that comes within timeoutMs; false once both outputs have ended.
    bool readSome(int timeoutMs);
    // Reads output until it holds needle past from; the time it was read, or nothing when the
    // deadline passed or the output ended first.
    std::optional<Clock::time_point> waitFor(std::string_view needle, Clock::time_point deadline,
                                             std::size_t from = 0);
    // Reads the rest of its output and waits for it to end, killing it at the deadline. The input
    // stays as it is: closing it is the caller's choice.
    Ended wait(Clock::time_point deadline);

protected:
    std::string out_;

private:
    pid_t pid_ = -1;
    int in_ = -1, outFd_ = -1, errFd_ = -1;
    std::string err_;
};

}  // namespace harness
