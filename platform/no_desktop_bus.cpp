// Builds without a desktop bus (Windows, and POSIX built with QUAVELIN_MPRIS=OFF): the player is
// driven from its own input alone.
#include "platform/desktop_bus.h"

namespace platform::bus {

void open() {}
void close() {}
void publish(const Status&) {}
bool callWaiting() { return false; }
bool takeCall(Call&) { return false; }
int wakeDescriptor() { return -1; }

}  // namespace platform::bus
