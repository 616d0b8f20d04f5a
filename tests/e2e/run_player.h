// Runs the real player as a user would through a pipe: in a directory of its own, with a given
// standard input that ends after the text, and a time limit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return root_; }
    void addFile(const std::filesystem::path& relative) const;  // empty; parents created
    void addDirectory(const std::filesystem::path& relative) const;

private:
    std::filesystem::path root_;
};

// Runs the player in workdir with input (at most 60,000 bytes) on standard input. The environment
// holds PATH, LC_ALL=C and SDL_AUDIODRIVER=dummy, then the "NAME=value" entries of env, which
// replace those of the same name. A run still going after timeoutSeconds is killed.
Run runPlayer(const std::filesystem::path& workdir, const std::string& input,
              const std::vector<std::string>& env = {}, int timeoutSeconds = 20);

}  // namespace e2e
