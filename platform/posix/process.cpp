// Clocks, random numbers and the end of the process.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t clockMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

void seedRandom(std::uint32_t seed) { std::srand(seed); }

int randomNumber() { return std::rand(); }

void writeError(std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }

}  // namespace platform
