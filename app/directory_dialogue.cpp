#include "app/directory_dialogue.h"

#include "console/typed_input.h"
#include "platform/platform.h"

Entered askForDirectory(const std::optional<std::string>& given) {
    platform::writeBytes("Please type to new Directory~$ ");
    std::optional<DirectoryAnswer> answer;
    if (given) {
        // A typed answer is echoed by the terminal; one from the command line is shown here, so
        // that the transcript reads the same and what follows starts on a line of its own.
        platform::writeBytes(*given);
        platform::writeBytes("\n");
        answer = DirectoryAnswer{*given};
    } else {
        answer = readDirectoryAnswer();
    }
    // The end of input is taken as the word "exit": nothing more can be typed.
    if (!answer || (!answer->quoted && answer->path == "exit")) {
        platform::writeText("終了します\n");
        return Entered::Quit;
    }
    return platform::enterDirectory(answer->path.c_str()) ? Entered::Yes : Entered::No;
}

Flow loadTracksAsking(PlayerState& state) {
    for (;;) {
        state.trackCount = scanTracks(state.tracks);
        if (state.trackCount > 0) return Flow::Continue;
        platform::writeText("このディレクトリにMP3は有りません\n");
        platform::writeText("移動先ディレクトリを指定してください\n");
        Entered entered = askForDirectory();
        if (entered == Entered::Quit) return Flow::Quit;
        if (entered == Entered::No) platform::writeText("失敗しました\n");
    }
}
