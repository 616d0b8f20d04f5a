#include "app/player.h"

#include "app/command_table.h"
#include "app/playback_loop.h"
#include "app/startup.h"
#include "audio/sound_service.h"
#include "platform/desktop_bus.h"
#include "platform/platform.h"

int runPlayer(const std::optional<std::string>& startDirectory, bool onDesktopBus) {
    prepareSoundService();  // while the first questions are asked
    // At a terminal, Tab completes the command words (the row of the track numbers has none to type).
    std::vector<std::string> words;
    for (const auto& [word, action] : commandWords())
        if (word.front() < '0' || word.front() > '9') words.emplace_back(word);
    platform::offerCompletions(std::move(words));
    PlayerState state;
    if (runStartup(state, startDirectory) == Flow::Quit) return 1;
    int status = runPlaybackLoop(state, onDesktopBus);
    platform::bus::close();
    return status;
}
