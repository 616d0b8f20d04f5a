#include "app/playback_loop.h"

#include "app/command_actions.h"
#include "audio/device.h"
#include "console/output.h"
#include "console/status_lines.h"

namespace {

// Chooses the slot of the next start: the single-track loop, the shuffle pick, the wrap, and the
// end of the list (which ends the process when the list is to stop there).
void chooseTrack(PlayerState& state) {
    if (state.loopOne == 1) {
        if (state.shuffleState == ShuffleOn) state.shuffleState = ShuffleOnSkipPick;
        if (state.shuffleState == ShuffleOff) state.shuffleState = ShuffleOffSkipPick;
        if (state.i != 0) state.i -= 1;  // undo the step to the next track: the same one again
    }
    if (state.shuffleState == ShuffleOn) state.i = platform::randomNumber() % state.trackCount;
    if (state.shuffleState == ShuffleOnSkipPick) state.shuffleState = ShuffleOn;
    if (state.shuffleState == ShuffleOffSkipPick) state.shuffleState = ShuffleOff;

    printBytes("\n");
    if (state.i < 0) state.i = state.trackCount - 1;
    if (state.i >= state.trackCount || isEndMarker(currentSlot(state))) {
        if (state.stopAtEnd != 0) platform::exitProcess(1);
        state.i = 0;
    }
}

// The track is over when its length, its finished pauses and one second have passed, and it is
// not paused. The device's own end notice plays no part.
bool trackOver(const PlayerState& state) {
    std::int64_t elapsed = platform::clockSeconds() - state.startTime;
    std::int64_t bound = std::int64_t{state.trackLength} + state.pausedTotal + 1;
    return elapsed >= bound && state.pauseStart == 0;
}

void readAndApply(PlayerState& state) {
    state.commandCode = readCommand();
    applyCommand(state, state.commandCode);
}

// Checks the end of the track every 200 ms, and acts on a typed line the moment it arrives. The
// checks keep their pace whatever is typed between them; only a command that took longer than the
// rest of an interval (one that asked a question) gets a whole interval after it.
void pollUntilTrackEnds(PlayerState& state) {
    std::int64_t nextCheck = platform::clockMs() + kPollIntervalMs;
    for (;;) {
        if (state.readNow != 0 || platform::waitForInput(0)) {
            state.readNow = 0;  // after a stop, the read waits for the user
            readAndApply(state);
        }
        if (state.leaveTrack == 1) return;
        for (;;) {
            std::int64_t left = nextCheck - platform::clockMs();
            if (!platform::waitForInput(left > 0 ? static_cast<int>(left) : 0)) break;
            readAndApply(state);
            if (state.leaveTrack == 1) return;
            std::int64_t now = platform::clockMs();
            if (now >= nextCheck) nextCheck = now + kPollIntervalMs;
        }
        if (trackOver(state)) return;
        nextCheck += kPollIntervalMs;
    }
}

}  // namespace

int runPlaybackLoop(PlayerState& state) {
    state.i = 0;
    while (state.i < kMaxTracks) {
        state.pauseStart = 0;
        state.pausedTotal = 0;
        state.leaveTrack = 0;
        state.commandCode = CmdNone;

        chooseTrack(state);
        openAndPlay(currentSlot(state), 0);
        state.trackLength = trackLengthSeconds();
        state.startTime = platform::clockSeconds();
        showPrompt(currentSlot(state));

        pollUntilTrackEnds(state);
        closeDevice();
        state.i += 1;
    }
    platform::readChar();
    return 0;
}
