#pragma once

#include "app/player_state.h"

// Plays tracks until the run ends: returns the process's exit status (0 past the last of the 50
// slots, after one last character is read; 1 for exit, the end of input, or the end of the list
// in stop-at-end mode). onDesktopBus: also driven, and shown, on the desktop's bus.
int runPlaybackLoop(PlayerState& state, bool onDesktopBus);
