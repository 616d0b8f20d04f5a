// The player's side of the desktop's bus: its commands carried out as the player's own, and the
// state the bus shows.
#pragma once

#include "app/actions.h"
#include "platform/desktop_bus.h"

// Carries out a command from the bus through the command table, as the typed word it stands for.
Flow applyRemoteCall(PlayerState& state, const platform::bus::Call& call);

// Shows the bus the player's state; seeked tells that the position has just jumped.
void publishStatus(const PlayerState& state, bool seeked);
