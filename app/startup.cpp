#include "app/startup.h"

#include "console/output.h"
#include "library/directory.h"

void runStartup(PlayerState& state) {
    state.shuffleState = ShuffleOff;
    state.stopAtEnd = 0;
    state.loopOne = 0;
    state.readNow = 0;

    platform::seedRandom(static_cast<std::uint32_t>(platform::clockSeconds()));

    printText("初期でのカレントディレクトリを指定してください。\n");
    while (changeDirectory() == 0) printText("失敗しました。\n");

    state.trackCount = loadTracks(state.filelist);
    while (state.trackCount == -1) state.trackCount = loadTracks(state.filelist);

    listTracks(state.filelist);
}
