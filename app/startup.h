#pragma once

#include "app/player_state.h"

// Seeds the shuffle, asks for a starting directory until one with
// tracks is entered and prints the numbered listing.
void runStartup(PlayerState& state);
