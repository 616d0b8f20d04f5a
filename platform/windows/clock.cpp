// Calendar seconds and the poll's sleep.
#include <windows.h>

#include <ctime>

#include "platform/platform.h"

namespace platform {

std::int64_t clockSeconds() { return static_cast<std::int64_t>(_time64(nullptr)); }

void sleepMs(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds)); }

}  // namespace platform
