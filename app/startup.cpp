#include "app/startup.h"

#include "app/directory_dialogue.h"
#include "platform/platform.h"

Flow runStartup(PlayerState& state, const std::optional<std::string>& givenDirectory) {
    platform::seedRandom(static_cast<std::uint32_t>(platform::clockSeconds()));
    platform::writeText("初期でのカレントディレクトリを指定してください。\n");
    for (Entered entered = askForDirectory(givenDirectory); entered != Entered::Yes;
         entered = askForDirectory()) {
        if (entered == Entered::Quit) return Flow::Quit;
        platform::writeText("失敗しました。\n");
    }
    if (loadTracksAsking(state) == Flow::Quit) return Flow::Quit;
    listTracks(state.tracks);
    return Flow::Continue;
}
