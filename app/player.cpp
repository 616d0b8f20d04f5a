#include "app/player.h"

#include "app/command_table.h"
#include "app/playback_loop.h"
#include "app/startup.h"
#include "audio/device.h"
#include "audio/sound_service.h"
#include "platform/desktop_bus.h"
#include "platform/platform.h"

int runPlayer(const std::optional<std::string>& startDirectory, bool onDesktopBus) {
    prepareSoundService();                            // while the first questions are asked
    platform::offerCompletions(typedCommandWords());  // Tab completes them at a terminal
    PlayerState state;
    if (runStartup(state, startDirectory) == Flow::Quit) return 1;
    int status = runPlaybackLoop(state, onDesktopBus);
    platform::bus::close();
    finishSound();  // the sound fades out before the process ends
    return status;
}
