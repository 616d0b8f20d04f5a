#include "app/command_actions.h"

#include "app/time_actions.h"
#include "audio/device.h"
#include "console/status_lines.h"

namespace {

void stop(PlayerState& state) {
    // The track does not end: the clock runs on in silence, and the next poll reads a command at once.
    closeDevice();
    reprompt(state);
    state.readNow = 1;
}

void resume(PlayerState& state) {
    reprompt(state);
    if (state.pauseStart != 0) {
        resumeDevice();
        state.pausedTotal += platform::clockSeconds() - state.pauseStart;
        state.pauseStart = 0;
    }
}

void pause(PlayerState& state) {
    reprompt(state);
    pauseDevice();
    // A second pause keeps the first one's start: the whole pause must move the track's end.
    if (state.pauseStart == 0) state.pauseStart = platform::clockSeconds();
}

void before(PlayerState& state) {
    // Past the first seconds of a track, "before" restarts it instead of going back.
    if (platform::clockSeconds() - state.startTime > kRestartAfterSeconds) state.i += 1;
    state.i -= 2;
    state.leaveTrack = 1;
    if (state.loopOne == 1) state.i += 1;  // cancels the single-track loop's step back
}

void next(PlayerState& state) {
    state.leaveTrack = 1;
    if (state.loopOne == 1) state.i += 1;
}

void pickTrack(PlayerState& state, CommandCode code) {
    // A picked number is honoured even in shuffle mode: the next start makes no random pick.
    if (state.shuffleState == ShuffleOn) state.shuffleState = ShuffleOnSkipPick;
    if (state.shuffleState == ShuffleOff) state.shuffleState = ShuffleOffSkipPick;
    state.i = code - (kTrackCodeBase + 1);
    if (state.loopOne != 0) state.i += 1;
    state.leaveTrack = 1;
}

}  // namespace

void wrapIndex(std::int32_t& index, std::int32_t count) {
    if (index < 0) index = count - 1;
    if (index >= count) index = 0;
}

void reprompt(PlayerState& state) {
    wrapIndex(state.i, state.trackCount);
    showPrompt(currentSlot(state));
}

void applyCommand(PlayerState& state, CommandCode code) {
    switch (code) {
        case CmdStop: stop(state); break;
        case CmdBack10: seekBack(state); break;
        case CmdResume: resume(state); break;
        case CmdPause: pause(state); break;
        case CmdLoop:
            reprompt(state);
            state.loopOne = 1 - state.loopOne;
            break;
        case CmdShuffle:
            reprompt(state);
            state.shuffleState = state.shuffleState == ShuffleOff ? ShuffleOn : ShuffleOff;
            break;
        case CmdHelp: helpAction(state); break;
        case CmdBefore: before(state); break;
        case CmdNext: next(state); break;
        case CmdExit: platform::exitProcess(1);
        case CmdList: listAction(state); break;
        case CmdTime: showTimeLine(state); break;
        case CmdAllLoop:
            state.stopAtEnd = 1 - state.stopAtEnd;
            reprompt(state);
            break;
        case CmdChangeDir: changeDirectoryAction(state); break;
        case CmdDir: showDirectoryAction(state); break;
        case CmdJump: jump(state); break;
        case CmdForward10: seekForward(state); break;
        default:
            if (code >= kTrackCodeBase && code <= kTrackCodeBase + kMaxTracks) pickTrack(state, code);
            break;  // an unknown word, or a number past 50: nothing at all
    }
}
