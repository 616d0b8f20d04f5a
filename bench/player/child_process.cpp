#include "child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bench {

Child::Child(const std::vector<std::string>& argv, const std::string& dir,
             const std::vector<std::string>& env) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) envStrings.emplace_back(*e);
    for (const std::string& entry : env) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(envStrings, [&](const std::string& e) { return e.starts_with(name); });
        envStrings.push_back(entry);
    }
    std::vector<char*> envp, args;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = argv;
    for (std::string& a : argStrings) args.push_back(a.data());
    args.push_back(nullptr);

    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    started_ = Clock::now();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
}

Child::~Child() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_fd_, err_fd_})
        if (fd >= 0) ::close(fd);
}

void Child::write(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(in_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return;  // it has ended
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool Child::readSome(int timeoutMs) {
    std::array<pollfd, 2> fds = {pollfd{out_fd_, POLLIN, 0}, pollfd{err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0) return false;
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
    drain(out_fd_, out_, fds[0].revents);
    drain(err_fd_, err_, fds[1].revents);
    return out_fd_ >= 0 || err_fd_ >= 0;
}

std::optional<Clock::time_point> Child::waitFor(std::string_view needle, Clock::time_point deadline,
                                                std::size_t from) {
    for (;;) {
        if (out_.find(needle, from) != std::string::npos) return Clock::now();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        if (!readSome(static_cast<int>(left))) return std::nullopt;
    }
}

Usage Child::finish(std::chrono::milliseconds timeout) {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    auto deadline = Clock::now() + timeout;
    Usage usage;
    int status = 0;
    rusage resources{};
    for (;;) {
        if (!readSome(5)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pid_t done = ::wait4(pid_, &status, WNOHANG, &resources);
        if (done == pid_) break;
        if (Clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &resources);
            break;
        }
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

}  // namespace bench
