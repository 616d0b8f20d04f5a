#include "platform/posix/stderr_notices.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>

namespace platform::posix {

StderrNotices::StderrNotices() {
    std::array<int, 2> ends{};
    std::fflush(stderr);
    // Neither end may make anything wait: a notice written while the pipe is full is lost.
    if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    terminal_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (terminal_ >= 0 && ::dup2(ends[1], STDERR_FILENO) >= 0) {
        pipe_ = ends[0];
    } else {
        ::close(ends[0]);
        if (terminal_ >= 0) ::close(terminal_);
        terminal_ = -1;
    }
    ::close(ends[1]);
}

StderrNotices::~StderrNotices() {
    if (pipe_ < 0) return;
    std::fflush(stderr);
    std::string rest = take();
    if (!partial_.empty()) rest += partial_ + '\n';
    ::dup2(terminal_, STDERR_FILENO);
    show(rest);
    ::close(terminal_);
    // The reading end stays open: a sound library's thread that still holds a copy of the writing
    // end (one that shut standard error for a while) must not end the process by SIGPIPE.
}

std::string StderrNotices::take() {
    std::array<char, 4096> chunk{};
    for (ssize_t got = 0; pipe_ >= 0 && (got = ::read(pipe_, chunk.data(), chunk.size())) > 0;)
        partial_.append(chunk.data(), static_cast<std::size_t>(got));
    const std::size_t lastEnd = partial_.rfind('\n');
    if (lastEnd == std::string::npos) return {};
    std::string lines = partial_.substr(0, lastEnd + 1);
    partial_.erase(0, lastEnd + 1);
    return lines;
}

void StderrNotices::show(std::string_view text) const {
    const int to = terminal_ >= 0 ? terminal_ : STDERR_FILENO;
    while (!text.empty()) {
        const ssize_t put = ::write(to, text.data(), text.size());
        if (put <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(put));
    }
}

}  // namespace platform::posix
