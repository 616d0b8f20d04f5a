#include "app/player.h"

#include "app/playback_loop.h"
#include "app/startup.h"

int runPlayer(const std::optional<std::string>& startDirectory) {
    PlayerState state;
    if (runStartup(state, startDirectory) == Flow::Quit) return 1;
    return runPlaybackLoop(state);
}
