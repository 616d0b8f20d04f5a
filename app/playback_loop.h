#pragma once

#include "app/player_state.h"

// Plays tracks until the index passes the last slot; then reads one character and returns 0.
int runPlaybackLoop(PlayerState& state);
