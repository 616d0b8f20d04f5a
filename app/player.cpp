#include "app/player.h"

#include "app/playback_loop.h"
#include "app/startup.h"

int runPlayer() {
    PlayerState state;
    runStartup(state);
    return runPlaybackLoop(state);
}
