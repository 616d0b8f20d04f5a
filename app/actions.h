// What each command does to the player. Actions print their answers and change the state; one
// that leaves the track only records a request, and the playback loop starts what comes next.
#pragma once

#include <string_view>

#include "app/player_state.h"

// Whether the run goes on after an action: the exit command and the end of input at any of the
// questions a command asks end it.
enum class Flow { Continue, Quit };

using Action = Flow (*)(PlayerState& state, std::string_view word);

// The prompt again, with the playing track.
void reprompt(const PlayerState& state);

// Playing (track_actions.cpp).
Flow stopAction(PlayerState& state, std::string_view word);
Flow pauseAction(PlayerState& state, std::string_view word);
Flow resumeAction(PlayerState& state, std::string_view word);
Flow nextAction(PlayerState& state, std::string_view word);
Flow beforeAction(PlayerState& state, std::string_view word);
Flow pickAction(PlayerState& state, std::string_view word);
// The track in slot, as its number typed plays it (0 to 50; past the list as the number does).
Flow pickSlot(PlayerState& state, int slot);
Flow loopAction(PlayerState& state, std::string_view word);
Flow shuffleAction(PlayerState& state, std::string_view word);
Flow alloopAction(PlayerState& state, std::string_view word);
Flow exitAction(PlayerState& state, std::string_view word);

// Time and position (time_actions.cpp).
Flow timeAction(PlayerState& state, std::string_view word);
Flow seekBackAction(PlayerState& state, std::string_view word);
Flow seekForwardAction(PlayerState& state, std::string_view word);
Flow jumpAction(PlayerState& state, std::string_view word);
// The jump's second half, without its questions: plays from positionMs (at least 0).
Flow jumpTo(PlayerState& state, std::int64_t positionMs);
// The open track's length as the device knows it now; one that is still an estimate is asked for
// again at every check.
void readTrackLength(TrackClock& clock);

// Lists, directories and help (screen_actions.cpp).
Flow listAction(PlayerState& state, std::string_view word);
Flow changeDirectoryAction(PlayerState& state, std::string_view word);
Flow showDirectoryAction(PlayerState& state, std::string_view word);
Flow helpAction(PlayerState& state, std::string_view word);
