// Clock, sleep, random numbers and the end of the process.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

void sleepMs(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec remaining{};
    remaining.tv_sec = milliseconds / 1000;
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1'000'000L;
    // A signal cuts the sleep short; sleep on for what is left so that polls keep their pace.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

void seedRandom(std::uint32_t seed) { std::srand(seed); }

int randomNumber() { return std::rand(); }

void exitProcess(int status) {
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace platform
