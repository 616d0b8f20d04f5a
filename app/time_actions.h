// The commands that show the time, move within the track, list, help, and change directory.
#pragma once

#include <cstdint>

#include "app/player_state.h"

void seekBack(PlayerState& state);
void seekForward(PlayerState& state);
void showTimeLine(PlayerState& state);
void jump(PlayerState& state);
void listAction(PlayerState& state);
void helpAction(PlayerState& state);
void changeDirectoryAction(PlayerState& state);
void showDirectoryAction(PlayerState& state);

// Asks for a minute and a second, restarts the track there and returns the position in seconds.
std::int64_t jumpToTime(const char* name);
