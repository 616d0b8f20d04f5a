#pragma once

#include "app/player_state.h"

// Plays tracks until the run ends: returns the process's exit status (0 past the last of the 50
// slots, after one last character is read; 1 for exit, the end of input, or the end of the list
// in stop-at-end mode).
int runPlaybackLoop(PlayerState& state);
