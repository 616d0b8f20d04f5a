// The player's side of the desktop's bus: its calls carried out as the player's own commands, and
// the state the bus shows.
#pragma once

#include "app/actions.h"
#include "platform/desktop_bus.h"

// Carries out a call from the bus through the action it stands for.
Flow applyRemoteCall(PlayerState& state, const platform::bus::Call& call);

// Takes the call to carry out now, if one waits and it is its turn: when a typed word waits as
// well, words and calls take turns. False when the next command is a typed word.
bool callInTurn(PlayerState& state, platform::bus::Call& call);

// Shows the bus the player's state; seeked tells that the position has just jumped.
void publishStatus(const PlayerState& state, bool seeked);
// Shows it again where the output's volume was changed from elsewhere (a mixer) since.
void publishVolumeChange(const PlayerState& state);
