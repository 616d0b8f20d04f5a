#include "tests/e2e/run_player.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace fs = std::filesystem;

TempTree::TempTree() : TempTree(fs::temp_directory_path()) {}

TempTree::TempTree(const fs::path& base) {
    std::string pattern = (base / "quavelin-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempTree::~TempTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void TempTree::addFile(const fs::path& relative) const {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative).flush();
}

void TempTree::addDirectory(const fs::path& relative) const { fs::create_directories(root_ / relative); }

namespace {

std::vector<std::string> environmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> env = {"LC_ALL=C", "SDL_AUDIODRIVER=dummy"};
    for (const char* kept : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(kept)) env.push_back(std::string(kept) + "=" + value);
    for (const std::string& entry : extra) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
        env.push_back(entry);
    }
    return env;
}

// Takes what a pipe from the player holds; closes it at its end.
void drain(int& fd, std::string& text) {
    std::array<char, 4096> chunk{};
    ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        ::close(fd);
        fd = -1;
    }
}

// Feeds the steps to the player on a thread of its own, so that a large input and the player's
// output can't block each other through the pipes.
class InputWriter {
public:
    InputWriter(int fd, const std::vector<InputStep>& steps) : fd_(fd), steps_(steps) {}

    void start() {
        thread_ = std::thread([this] { writeAll(); });
    }

    // The output as read so far; wakes a step that waits for it.
    void outputGrew(const std::string& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        out_.append(out, out_.size());
        changed_.notify_all();
    }
    // No more output will come: a step still waiting gives up.
    void outputEnded() {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    void writeAll() {
        std::size_t searchFrom = 0;
        for (const InputStep& step : steps_) {
            if (!step.waitFor.empty()) {
                std::unique_lock<std::mutex> lock(mutex_);
                std::size_t at = std::string::npos;
                changed_.wait(lock, [&] {
                    at = out_.find(step.waitFor, searchFrom);
                    return at != std::string::npos || ended_;
                });
                if (at == std::string::npos) break;
                searchFrom = at + step.waitFor.size();
            }
            if (step.action) step.action();
            if (!writeText(step.text)) break;
        }
        ::close(fd_);  // the input ends after the text
    }

    // False once the player no longer reads (it has ended).
    bool writeText(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                if (errno != EPIPE) throw std::runtime_error("writing the input failed");
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    int fd_;
    const std::vector<InputStep>& steps_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string out_;
    bool ended_ = false;
};

Run runSteps(const fs::path& player, const fs::path& workdir, const std::vector<InputStep>& steps,
             const std::vector<std::string>& env, int timeoutSeconds) {
    std::vector<std::string> envStrings = environmentWith(env);
    std::vector<char*> envp;
    for (std::string& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    // The player, or a program that runs it (QUAVELIN_E2E_WRAPPER: its words, blank-separated,
    // e.g. valgrind and its options), which is then given ten times as long.
    std::vector<std::string> command;
    if (const char* wrapper = std::getenv("QUAVELIN_E2E_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;) command.push_back(word);
    }
    if (!command.empty()) timeoutSeconds *= 10;
    command.push_back(player.string());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string binary = command.front();
    std::string dir = workdir.string();

    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {  // only async-signal-safe calls from here on
        ::signal(SIGPIPE, SIG_DFL);
        // A pipe end may already be the descriptor it should become (when the test runs with
        // standard input closed); it must then only stay open across exec.
        auto attach = [](int fd, int target) {
            if (fd == target)
                ::fcntl(fd, F_SETFD, 0);
            else
                ::dup2(fd, target);
        };
        attach(in[0], STDIN_FILENO);
        attach(out[1], STDOUT_FILENO);
        attach(err[1], STDERR_FILENO);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::execvpe(binary.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);

    // A player that has already ended makes a write fail with EPIPE rather than end the test.
    ::signal(SIGPIPE, SIG_IGN);
    InputWriter writer(in[1], steps);
    writer.start();

    Run run;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    auto msLeft = [&] {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::int64_t>(0, left.count()));
    };
    int fromOut = out[0], fromErr = err[0];
    while ((fromOut >= 0 || fromErr >= 0) && msLeft() > 0) {
        std::array<pollfd, 2> fds = {pollfd{fromOut, POLLIN, 0}, pollfd{fromErr, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), msLeft()) < 0 && errno != EINTR) break;
        if (fds[0].revents != 0) {
            drain(fromOut, run.out);
            writer.outputGrew(run.out);
        }
        if (fds[1].revents != 0) drain(fromErr, run.err);
    }
    writer.outputEnded();
    for (int fd : {fromOut, fromErr})
        if (fd >= 0) ::close(fd);

    // Its output closed, the player is ending; still held to the deadline.
    int waitStatus = 0;
    while (::waitpid(pid, &waitStatus, WNOHANG) == 0) {
        if (msLeft() == 0) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &waitStatus, 0);
            break;
        }
        ::usleep(10'000);
    }
    // Gone, the player no longer holds its end of the input: a blocked write fails and the
    // writer ends.
    writer.join();
    if (WIFEXITED(waitStatus)) run.status = WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) run.status = 128 + WTERMSIG(waitStatus);
    return run;
}

}  // namespace

Run runPlayer(const fs::path& workdir, const std::string& input, const std::vector<std::string>& env,
              int timeoutSeconds) {
    return runPlayer(workdir, std::vector<InputStep>{{"", {}, input}}, env, timeoutSeconds);
}

Run runPlayer(const fs::path& workdir, const std::vector<InputStep>& steps,
              const std::vector<std::string>& env, int timeoutSeconds) {
    return runSteps(QUAVELIN_BINARY, workdir, steps, env, timeoutSeconds);
}

Run runPlayerBinary(const fs::path& binary, const fs::path& workdir, const std::string& input,
                    const std::vector<std::string>& env, int timeoutSeconds) {
    return runSteps(binary, workdir, std::vector<InputStep>{{"", {}, input}}, env, timeoutSeconds);
}

}  // namespace e2e
