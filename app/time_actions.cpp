#include "app/time_actions.h"

#include <string>

#include "app/command_actions.h"
#include "audio/device.h"
#include "console/help_screen.h"
#include "console/number_reader.h"
#include "console/output.h"
#include "console/status_lines.h"
#include "library/directory.h"

namespace {

// Seconds of the track actually heard by the clock now: elapsed, less the finished pauses, less
// the pause under way.
std::int64_t playedAt(const PlayerState& state, std::int64_t now) {
    std::int64_t played = now - state.startTime - state.pausedTotal;
    if (state.pauseStart != 0) played -= now - state.pauseStart;
    return played;
}

// Restarts the device at position seconds and sets the clock to agree with it; ends any pause.
void restartAt(PlayerState& state, std::int64_t position, std::int64_t now) {
    closeDevice();
    openAndPlay(currentSlot(state), static_cast<std::int32_t>(position * 1000));
    state.startTime = now - position;
    state.pausedTotal = 0;
    state.pauseStart = 0;
}

void printTimeLine(PlayerState& state) {
    state.playedSeconds = static_cast<std::int32_t>(playedAt(state, platform::clockSeconds()));
    std::int32_t played = state.playedSeconds;
    printFormat("\n%d min %d sec / %d min %d sec\n", played / 60, played % 60, state.trackLength / 60,
                state.trackLength % 60);
    showTimeBar(state.playedSeconds, state.trackLength);
}

}  // namespace

void seekBack(PlayerState& state) {
    std::int64_t now = platform::clockSeconds();
    std::int64_t played = playedAt(state, now);
    if (played < kSeekSeconds) return;  // too early in the track: ignored without a word
    restartAt(state, played - kSeekSeconds, now);
    reprompt(state);
}

void seekForward(PlayerState& state) {
    std::int64_t now = platform::clockSeconds();
    restartAt(state, playedAt(state, now) + kSeekSeconds, now);
    reprompt(state);
}

void showTimeLine(PlayerState& state) {
    printTimeLine(state);
    reprompt(state);
}

std::int64_t jumpToTime(const char* name) {
    printText("移動先時間指定 分単位 ~$ ");
    std::int64_t min = readNumber();
    printText("移動先時間指定 秒単位 ~$ ");
    std::int64_t s = readNumber();
    closeDevice();
    openAndPlay(name, static_cast<std::int32_t>(min * 60000 + s * 1000));
    return min * 60 + s;
}

void jump(PlayerState& state) {
    printTimeLine(state);
    std::int64_t position = jumpToTime(currentSlot(state));
    // Read after the answer, so the time spent typing does not count as played.
    state.startTime = platform::clockSeconds() - position;
    state.pausedTotal = 0;
    state.pauseStart = 0;
    reprompt(state);
}

void listAction(PlayerState& state) {
    printBytes("\n");
    listTracks(state.filelist);
    reprompt(state);
}

void helpAction(PlayerState& state) {
    printText("\nコマンドの状態\n");
    showOnOff(state.shuffleState, "shuffle");
    showOnOff(state.loopOne, "loop");
    showOnOff(state.stopAtEnd, "alloop");
    printBytes("\n");
    showHelp();
    reprompt(state);
}

void changeDirectoryAction(PlayerState& state) {
    if (changeDirectory() == 0) {
        printText("失敗しました\n");
        showPrompt(currentSlot(state));
        return;
    }
    state.trackCount = loadTracks(state.filelist);
    while (state.trackCount == -1) state.trackCount = loadTracks(state.filelist);
    state.leaveTrack = 1;
}

void showDirectoryAction(PlayerState& state) {
    std::string dirbuf = platform::currentDirectory();
    printText("現在のディレクトリパス \n  ");
    printBytes(dirbuf);
    printBytes("\n");
    printText("現在のディレクトリ直下のディレクトリ\n");
    listSubdirectories();
    reprompt(state);
}
