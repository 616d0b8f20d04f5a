// What each command does to the playback state.
#pragma once

#include <cstdint>

#include "app/player_state.h"

void applyCommand(PlayerState& state, CommandCode code);
// Brings index back into 0 .. count-1: a negative index becomes the last slot, one past the end
// becomes the first.
void wrapIndex(std::int32_t& index, std::int32_t count);
// wrapIndex, then the prompt with the current slot.
void reprompt(PlayerState& state);
