// A terminal has no window of its own that the sound service could notify, and none is needed:
// the player decides by the clock when a track is over.
#include "platform/platform.h"

namespace platform {

WindowHandle findConsoleWindow() { return nullptr; }

}  // namespace platform
