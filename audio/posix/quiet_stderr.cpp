#include "audio/posix/quiet_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace sound {

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink < 0) return;
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_ >= 0) ::dup2(sink, STDERR_FILENO);
    ::close(sink);
}

QuietStderr::~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
}

}  // namespace sound
