#include "platform/posix/terminal_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace platform::posix::signals {
namespace {

termios given{};  // the terminal as the player found it
std::array<int, 2> wake{-1, -1};
volatile std::sig_atomic_t wasContinued = 0;

void install(int signal, void (*handler)(int), int flags);

// Wakes the editor's wait (a full pipe has woken it already).
void tell() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t put = ::write(wake[1], &byte, 1);
}

// Installed to be reset on entry: the signal raised again waits for the handler's return, then
// ends the process by its default action.
void onEnding(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &given);
    ::raise(signal);
}

void onStop(int) {
    const int saved = errno;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &given);
    std::signal(SIGTSTP, SIG_DFL);
    ::raise(SIGTSTP);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here, until it is continued
    install(SIGTSTP, onStop, 0);
    wasContinued = 1;
    tell();
    errno = saved;
}

void onContinue(int) {
    const int saved = errno;
    wasContinued = 1;
    tell();
    errno = saved;
}

struct Handled {
    int signal;
    void (*handler)(int);
    int flags;
};
constexpr int kOnce = static_cast<int>(SA_RESETHAND);
constexpr std::array kHandled{
    Handled{SIGINT, onEnding, kOnce},         Handled{SIGTERM, onEnding, kOnce},
    Handled{SIGQUIT, onEnding, kOnce},        Handled{SIGTSTP, onStop, 0},
    Handled{SIGCONT, onContinue, SA_RESTART},
};

void install(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void catchFor(const termios& original) {
    given = original;
    if (::pipe2(wake.data(), O_CLOEXEC | O_NONBLOCK) != 0) wake = {-1, -1};
    for (const Handled& handled : kHandled) {
        struct sigaction before {};
        ::sigaction(handled.signal, nullptr, &before);
        // A signal ignored by whoever started the player (nohup) stays ignored.
        if (before.sa_handler != SIG_IGN) install(handled.signal, handled.handler, handled.flags);
    }
}

int descriptor() { return wake[0]; }

bool continued() {
    std::array<char, 64> drained{};
    while (wake[0] >= 0 && ::read(wake[0], drained.data(), drained.size()) > 0) {
    }
    const bool was = wasContinued != 0;
    wasContinued = 0;
    return was;
}

}  // namespace platform::posix::signals
