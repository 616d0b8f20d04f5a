// Calendar seconds and the steady clock of the poll.
#include <windows.h>

#include <ctime>

#include "platform/platform.h"

namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(_time64(nullptr)); }

std::int64_t clockMs() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace platform
