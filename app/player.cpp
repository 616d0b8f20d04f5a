#include "app/player.h"

#include "app/playback_loop.h"
#include "app/startup.h"
#include "audio/sound_service.h"

int runPlayer(const std::optional<std::string>& startDirectory) {
    prepareSoundService();  // while the first questions are asked
    PlayerState state;
    if (runStartup(state, startDirectory) == Flow::Quit) return 1;
    return runPlaybackLoop(state);
}
