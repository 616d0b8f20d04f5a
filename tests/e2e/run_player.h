// Runs the real player as a user would through a pipe: in a directory of its own, with a given
// standard input that ends after the text, and a time limit; and the texts it prints.
#pragma once

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"

namespace e2e {

// The player's own texts as it prints them in the C locale (UTF-8).
inline const std::string kAsk = "初期でのカレントディレクトリを指定してください。\n";
inline const std::string kDirPrompt = "Please type to new Directory~$ ";
inline const std::string kFailed = "失敗しました。\n";
inline const std::string kNoTracks =
    "このディレクトリにMP3は有りません\n移動先ディレクトリを指定してください\n";
inline const std::string kExiting = "終了します\n";
inline const std::string kHelpModes =
    "\nコマンドの状態\nshuffle  off\nloop     off\nalloop   off\n\nplease type to cmd ~$";
inline const std::string kMinutePrompt = "移動先時間指定 分単位 ~$ ";
inline const std::string kSecondPrompt = "移動先時間指定 秒単位 ~$ ";
inline std::string prompt(const std::string& track) { return "Quavelin~ " + track + "~$ "; }

// The time line and its bar follow the wall clock: each becomes "<time>". A negative time is never
// shown, so it is left to stand out.
inline std::string maskTimes(const std::string& out) {
    static const std::regex timeLine("\n[0-9]+ min [0-9]+ sec / [0-9]+ min [0-9]+ sec\n[>.]{30}\n");
    return std::regex_replace(out, timeLine, "\n<time>\n");
}

// A fresh temporary directory, removed with everything in it at the end of the test.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return root_; }
    void addFile(const std::filesystem::path& relative) const;  // empty; parents created

private:
    std::filesystem::path root_;
};

struct Options {
    std::vector<std::string> arguments{};
    std::vector<std::string> env{};  // "NAME=value"; the first of a name wins, over LC_ALL=C,
                                     // SDL_AUDIODRIVER=dummy and PATH
    std::filesystem::path binary = QUAVELIN_BINARY;
    bool inputClosed = false;            // started with standard input closed (the input is then empty)
    std::vector<std::string> wrapper{};  // the command that runs the binary, if any (say, wine)
};

struct Run {
    std::string out;  // standard output, byte for byte
    std::string err;
    int status = -1;  // exit status; 128 + signal number when killed by a signal (9: timed out)
};

// The player started in workdir, for a test that types in steps itself. Without a wrapper in the
// options but with QUAVELIN_E2E_WRAPPER set (say, to a valgrind command), it runs under that one.
std::unique_ptr<harness::Child> startPlayer(const std::filesystem::path& workdir,
                                            const Options& options = {});

// The player run with input, written whole by a thread of its own while the output is read, so
// that a large input and the output can't block each other; killed after 20 seconds, or 200 under
// a wrapper.
Run runPlayer(const std::filesystem::path& workdir, const std::string& input, const Options& options = {});

}  // namespace e2e
