#include "app/command_table.h"
#include "app/directory_dialogue.h"
#include "console/status_lines.h"
#include "console/typed_input.h"
#include "library/directory.h"
#include "platform/platform.h"

Flow listAction(PlayerState& state, std::string_view) {
    platform::writeBytes("\n");
    listTracks(state.tracks);
    reprompt(state);
    return Flow::Continue;
}

Flow changeDirectoryAction(PlayerState& state, std::string_view) {
    Entered entered = askForDirectory();
    if (entered == Entered::Quit) return Flow::Quit;
    if (entered == Entered::No) {
        platform::writeText("失敗しました\n");
        reprompt(state);
        return Flow::Continue;
    }
    if (loadTracksAsking(state) == Flow::Quit) return Flow::Quit;
    state.request = Request::NewDirectory;
    return Flow::Continue;
}

Flow showDirectoryAction(PlayerState& state, std::string_view) {
    platform::writeText("現在のディレクトリパス \n  ");
    platform::writeBytes(platform::currentDirectory());
    platform::writeBytes("\n");
    platform::writeText("現在のディレクトリ直下のディレクトリ\n");
    listSubdirectories();
    reprompt(state);
    return Flow::Continue;
}

Flow helpAction(PlayerState& state, std::string_view) {
    platform::writeText("\nコマンドの状態\n");
    showOnOff(state.modes.shuffle, "shuffle");
    showOnOff(state.modes.loopOne, "loop");
    showOnOff(state.modes.stopAtEnd, "alloop");
    platform::writeBytes("\n");
    platform::writeBytes("please type to cmd ~$");
    std::optional<std::string> word = readWord();
    if (!word) return Flow::Quit;
    std::optional<std::string_view> text = helpTextFor(*word);
    if (text) {
        platform::writeText(*text);
        platform::writeBytes("\n");
    } else {
        platform::writeText("コマンドが無効です。\n");
    }
    reprompt(state);
    return Flow::Continue;
}
