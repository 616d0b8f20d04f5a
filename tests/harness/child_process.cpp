#include "tests/harness/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

namespace harness {

namespace {

int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<std::int64_t>(0, left));
}

}  // namespace

Child::Child(std::vector<std::string> argv, const std::string& dir, std::vector<std::string> env,
             bool inputClosed) {
    // The null-terminated arrays of pointers that exec takes.
    auto pointersTo = [](std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers;
    };
    std::vector<char*> args = pointersTo(argv), envp = pointersTo(env);
    std::array<int, 2> in{}, out{}, err{};  // [0] the reading end, [1] the writing end
    for (std::array<int, 2>* ends : {&in, &out, &err})
        if (::pipe2(ends->data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // A child that has already ended makes a write fail with EPIPE rather than end this process.
    ::signal(SIGPIPE, SIG_IGN);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {  // only async-signal-safe calls from here on
        ::signal(SIGPIPE, SIG_DFL);
        // A pipe end may already be the descriptor it should become (when this process runs with
        // standard input closed); it must then only stay open across exec.
        for (auto [fd, target] : {std::pair{in[0], 0}, std::pair{out[1], 1}, std::pair{err[1], 2}})
            fd == target ? ::fcntl(fd, F_SETFD, 0) : ::dup2(fd, target);
        if (inputClosed) ::close(0);
        if (::chdir(dir.c_str()) == 0) ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    for (int fd : {in[0], out[1], err[1]}) ::close(fd);
    in_ = in[1];
    outFd_ = out[0];
    errFd_ = err[0];
}

Child::~Child() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {  // still running
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, outFd_, errFd_})
        if (fd >= 0) ::close(fd);
}

bool Child::write(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(in_, text.data(), text.size());
        if (n < 0 && errno != EINTR) return false;
        text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return true;
}

void Child::closeInput() { ::close(std::exchange(in_, -1)); }

bool Child::readSome(int timeoutMs) {
    std::array<pollfd, 2> fds = {pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0}};
    if ((outFd_ >= 0 || errFd_ >= 0) && ::poll(fds.data(), fds.size(), timeoutMs) > 0) {
        std::array<char, 8192> chunk{};
        for (auto [fd, text, revents] :
             {std::tuple{&outFd_, &out_, fds[0].revents}, std::tuple{&errFd_, &err_, fds[1].revents}}) {
            ssize_t n = *fd >= 0 && revents != 0 ? ::read(*fd, chunk.data(), chunk.size()) : -2;
            if (n > 0) text->append(chunk.data(), static_cast<std::size_t>(n));
            if (n == 0 || (n == -1 && errno != EINTR)) ::close(std::exchange(*fd, -1));
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

std::optional<Clock::time_point> Child::waitFor(std::string_view needle, Clock::time_point deadline,
                                                std::size_t from) {
    for (;;) {
        if (out_.find(needle, from) != std::string::npos) return Clock::now();
        int left = msUntil(deadline);
        if (left == 0 || !readSome(left)) return std::nullopt;
    }
}

Ended Child::wait(Clock::time_point deadline) {
    Ended ended;
    int status = 0;
    // Its output may end before it does, and it may never end: it is held to the deadline.
    while (::wait4(pid_, &status, WNOHANG, &ended.resources) == 0) {
        if (msUntil(deadline) == 0) {
            ended.timedOut = true;
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &ended.resources);
        } else if (!readSome(std::min(msUntil(deadline), 10))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    while (readSome(0)) {
    }
    ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ended;
}

}  // namespace harness
