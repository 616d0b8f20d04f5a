#include "app/playback_loop.h"

#include <algorithm>

#include "app/actions.h"
#include "app/command_table.h"
#include "app/desktop_remote.h"
#include "app/next_track.h"
#include "audio/device.h"
#include "console/typed_input.h"
#include "platform/platform.h"

namespace {

// A file the device can't play has no length; it still holds its slot this long, so that a list
// of such files does not race by.
constexpr std::int64_t kShortestTrackMs = 1000;

// The track is over once its whole length has played by the clock, and it is not paused. The
// device's own end notice plays no part.
bool trackOver(const TrackClock& clock) {
    return !clock.pausedSinceMs &&
           clock.playedMsAt(platform::clockMs()) >= std::max(clock.lengthMs, kShortestTrackMs);
}

enum class TrackEnd { Playing, Over, Left, Quit };

// Carries out one command, a call from the desktop's bus or a typed word, in turn, and shows
// the bus the state it leaves; the end of input is the word "exit". The checks keep their pace
// whatever is typed between them; only a command that took longer than the rest of an interval
// (one that asked a question, or the read that waits for the user after a stop) gets a whole
// interval after it.
TrackEnd readAndApply(PlayerState& state, std::int64_t& nextCheck) {
    state.readAtOnce = false;
    const std::int64_t startMs = state.clock.startMs;
    Flow flow = Flow::Continue;
    if (platform::bus::Call call; callInTurn(state, call)) {
        flow = applyRemoteCall(state, call);
    } else {
        std::optional<std::string> word = readWord();
        if (!word) return TrackEnd::Quit;
        if (Action action = actionFor(*word); action != nullptr) flow = action(state, *word);
    }
    if (flow == Flow::Quit) return TrackEnd::Quit;
    // Only a seek or a jump moves the start of the playing track.
    publishStatus(state, state.clock.startMs != startMs);
    if (std::int64_t now = platform::clockMs(); now >= nextCheck) nextCheck = now + kPollIntervalMs;
    return state.request != Request::None ? TrackEnd::Left : TrackEnd::Playing;
}

// The read after a stop waits for the user without a time limit, or for a call from the bus.
void awaitCommand() {
    constexpr int kLongWaitMs = 60'000;
    while (!platform::waitForInput(kLongWaitMs)) {
    }
}

// Checks the end of the track every 200 ms, and acts on a typed line the moment it arrives.
TrackEnd playUntilTrackEnds(PlayerState& state) {
    std::int64_t nextCheck = platform::clockMs() + kPollIntervalMs;
    for (;;) {
        // After a stop, the next check is followed by a read that waits for the user.
        if (state.readAtOnce) {
            awaitCommand();
            if (TrackEnd end = readAndApply(state, nextCheck); end != TrackEnd::Playing) return end;
        }
        for (;;) {
            std::int64_t left = nextCheck - platform::clockMs();
            if (!platform::waitForInput(left > 0 ? static_cast<int>(left) : 0)) break;
            if (TrackEnd end = readAndApply(state, nextCheck); end != TrackEnd::Playing) return end;
        }
        if (trackOver(state.clock)) return TrackEnd::Over;
        nextCheck += kPollIntervalMs;
    }
}

void startTrack(PlayerState& state, int slot) {
    state.playingSlot = slot;
    state.request = Request::None;
    openAndPlay(state.playingName(), 0);
    state.clock = TrackClock{};
    state.clock.lengthMs = trackLengthMs();
    state.clock.startMs = platform::clockMs();
    state.stopped = false;
    reprompt(state);
    publishStatus(state, false);
}

}  // namespace

int runPlaybackLoop(PlayerState& state, bool onDesktopBus) {
    platform::writeBytes("\n");
    startTrack(state, 0);
    // Once the first prompt is out: the player can be driven before the bus has answered.
    if (onDesktopBus) platform::bus::open();
    for (;;) {
        if (playUntilTrackEnds(state) == TrackEnd::Quit) return 1;
        closeDevice();
        NextTrack next = chooseNextTrack(state, platform::randomNumber);
        if (next.kind == NextTrack::Kind::ListEnd) {
            platform::readChar();
            return 0;
        }
        platform::writeBytes("\n");
        if (next.kind == NextTrack::Kind::Exit) return 1;
        startTrack(state, next.slot);
    }
}
