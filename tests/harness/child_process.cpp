#include "tests/harness/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace harness {

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    return env;
}

std::vector<std::string> environmentWith(std::vector<std::string> base,
                                         const std::vector<std::string>& extra) {
    for (const std::string& entry : extra) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(base, [&](const std::string& e) { return e.starts_with(name); });
        base.push_back(entry);
    }
    return base;
}

Child::Child(const std::vector<std::string>& argv, const std::string& dir,
             const std::vector<std::string>& env) {
    std::vector<std::string> envStrings = env, argStrings = argv;
    std::vector<char*> envp, args;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    for (std::string& a : argStrings) args.push_back(a.data());
    args.push_back(nullptr);

    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    // A child that has already ended makes a write fail with EPIPE rather than end this process.
    ::signal(SIGPIPE, SIG_IGN);
    started_ = Clock::now();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {  // only async-signal-safe calls from here on
        ::signal(SIGPIPE, SIG_DFL);
        // A pipe end may already be the descriptor it should become (when this process runs with
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
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    outFd_ = out[0];
    errFd_ = err[0];
}

Child::~Child() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, outFd_, errFd_})
        if (fd >= 0) ::close(fd);
}

bool Child::write(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(in_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void Child::closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

bool Child::readSome(int timeoutMs) {
    if (outFd_ < 0 && errFd_ < 0) return false;
    std::array<pollfd, 2> fds = {pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) return true;
    std::array<char, 8192> chunk{};
    auto drain = [&](int& fd, std::string& text, short revents) {
        if (fd < 0 || revents == 0) return;
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    };
    drain(outFd_, out_, fds[0].revents);
    drain(errFd_, err_, fds[1].revents);
    return outFd_ >= 0 || errFd_ >= 0;
}

namespace {

int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<std::int64_t>(0, left));
}

}  // namespace

std::optional<Clock::time_point> Child::waitFor(std::string_view needle, Clock::time_point deadline,
                                                std::size_t from) {
    for (;;) {
        if (out_.find(needle, from) != std::string::npos) return Clock::now();
        int left = msUntil(deadline);
        if (left == 0 || !readSome(left)) return std::nullopt;
    }
}

Usage Child::wait(Clock::time_point deadline) {
    while (msUntil(deadline) > 0 && readSome(msUntil(deadline))) {
    }
    Usage usage;
    int status = 0;
    rusage resources{};
    // Its output closed, it is ending; still held to the deadline.
    while (::wait4(pid_, &status, WNOHANG, &resources) == 0) {
        if (msUntil(deadline) == 0) {
            usage.timedOut = true;
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &resources);
            break;
        }
        readSome(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reaped_ = true;
    while (readSome(0)) {
    }
    usage.cpuSeconds = static_cast<double>(resources.ru_utime.tv_sec + resources.ru_stime.tv_sec) +
                       static_cast<double>(resources.ru_utime.tv_usec + resources.ru_stime.tv_usec) / 1e6;
    usage.maxRssKb = resources.ru_maxrss;
    usage.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return usage;
}

Usage Child::finish(std::chrono::milliseconds timeout) {
    closeInput();
    return wait(Clock::now() + timeout);
}

std::int64_t threadCpuNs(pid_t pid, pid_t tid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/schedstat");
    std::int64_t ns = 0;
    stat >> ns;
    return ns;
}

std::vector<pid_t> threadsOf(pid_t pid) {
    std::vector<pid_t> tids;
    std::string path = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') tids.push_back(static_cast<pid_t>(std::atoi(entry->d_name)));
        ::closedir(dir);
    }
    return tids;
}

}  // namespace harness
