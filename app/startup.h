#pragma once

#include "app/player_state.h"

// Seeds the shuffle, finds the console window, asks for a starting directory until one with
// tracks is entered and prints the numbered listing.
void runStartup(PlayerState& state);
