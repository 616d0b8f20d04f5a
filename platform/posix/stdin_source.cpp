// Standard input as raw bytes: a pipe, a file, or a terminal without a line editor, read through
// the file descriptor so that the shared buffer above it is the only buffer. At a terminal with
// the line editor (posix/terminal.h), the lines entered there.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <initializer_list>

#include "platform/desktop_bus.h"
#include "platform/posix/terminal.h"
#include "platform/stdin_source.h"

namespace platform::detail {
namespace {

// Standard input, output or error that the player was started without is opened on the null
// device, before anything else of the program runs (the sound module begins loading on a thread of
// its own before main). Otherwise the first file opened later would take the free descriptor and
// stand in for it: a track read as typed commands, or the prompts written into a sound server's
// socket. A closed input so reads as the end of input, which ends the player.
[[gnu::constructor(101)]] void openClosedStandardDescriptors() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The descriptors below this one are open by now, so this is the one the null device gets.
        ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
}

}  // namespace

std::size_t stdinRead(char* buf, std::size_t size) {
    if (posix::terminal::inUse()) return posix::terminal::read(buf, size);
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, buf, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;  // an error ends input like end-of-file does
    }
}

bool stdinWait(int timeoutMs) {
    if (posix::terminal::inUse()) return posix::terminal::wait(timeoutMs);
    // Beside standard input, the desktop bus's descriptor (ignored when -1), readable while a
    // command of its own waits: unless standard input is ready too, the wait ends with nothing to read.
    std::array<pollfd, 2> fds{pollfd{STDIN_FILENO, POLLIN, 0}, pollfd{bus::wakeDescriptor(), POLLIN, 0}};
    pollfd& input = fds[0];
    for (;;) {
        // An interrupted wait starts again with the whole time: a stray signal only delays a check.
        int result = ::poll(fds.data(), fds.size(), timeoutMs);
        if (result > 0) break;
        if (result == 0) return false;
        if (errno != EINTR) return true;  // let the read find out, and end input if it fails
    }
    // Hang-up, error or a closed descriptor are ready too: the read then reports end of input,
    // so the player never keeps waiting for a word that can't come.
    return (input.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace platform::detail
