// Runs the real player as a user would through a pipe: in a directory of its own, with a given
// standard input that ends after the text, and a time limit.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"

namespace e2e {

struct Run {
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error
    int status = -1;  // exit status; 128 + signal number when killed by a signal
    bool timedOut = false;
};

// A fresh temporary directory, removed with everything in it at the end of the test.
class TempTree {
public:
    TempTree();
    // In base instead of the system's temporary directory (a memory file system, for instance).
    explicit TempTree(const std::filesystem::path& base);
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return root_; }
    void addFile(const std::filesystem::path& relative) const;  // empty; parents created
    void addDirectory(const std::filesystem::path& relative) const;

private:
    std::filesystem::path root_;
};

// One piece of typed input. It is written once standard output, read on from where the previous
// step's waitFor was found, holds waitFor (at once when empty), and after action has run. When the
// output ends without it, this step and the ones after it are not written.
struct InputStep {
    std::string waitFor;
    std::function<void()> action;
    std::string text;
};

// Runs the player in workdir with input on standard input, which ends after the text. Input of
// any size is written by a thread of its own while the output is read, as a user's pipe would
// feed it. The environment holds PATH, LC_ALL=C and SDL_AUDIODRIVER=dummy, then the "NAME=value"
// entries of env, which replace those of the same name. A run still going after timeoutSeconds is
// killed. With QUAVELIN_E2E_WRAPPER set (say, to a valgrind command), the player runs under it.
Run runPlayer(const std::filesystem::path& workdir, const std::string& input,
              const std::vector<std::string>& env = {}, int timeoutSeconds = 20);

// The same with input typed in steps, each waiting for what the player has printed.
Run runPlayer(const std::filesystem::path& workdir, const std::vector<InputStep>& steps,
              const std::vector<std::string>& env = {}, int timeoutSeconds = 20);

// The same with arguments on the command line.
Run runPlayerWithArguments(const std::vector<std::string>& arguments, const std::filesystem::path& workdir,
                           const std::string& input);

// The player started in workdir as runPlayer starts it, for a test that drives it itself.
std::unique_ptr<harness::Child> startPlayer(const std::filesystem::path& workdir);

// The same with another copy of the player binary (one taken away from the files built with it).
Run runPlayerBinary(const std::filesystem::path& binary, const std::filesystem::path& workdir,
                    const std::string& input, const std::vector<std::string>& env = {},
                    int timeoutSeconds = 20);

}  // namespace e2e
