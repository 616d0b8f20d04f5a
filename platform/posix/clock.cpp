// The calendar clock that track times are read from, and a monotonic one for the checks' pace.
#include <ctime>

#include "platform/platform.h"

namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t clockMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace platform
