#include "app/playback_loop.h"

#include <algorithm>

#include "app/actions.h"
#include "app/command_table.h"
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

// Reads one command word and carries it out; the end of input is the word "exit". The checks keep
// their pace whatever is typed between them; only a command that took longer than the rest of an
// interval (one that asked a question, or the read that waits for the user after a stop) gets a
// whole interval after it.
TrackEnd readAndApply(PlayerState& state, std::int64_t& nextCheck) {
    state.readAtOnce = false;
    std::optional<std::string> word = readWord();
    if (!word) return TrackEnd::Quit;
    Action action = actionFor(*word);
    if (action != nullptr && action(state, *word) == Flow::Quit) return TrackEnd::Quit;
    if (std::int64_t now = platform::clockMs(); now >= nextCheck) nextCheck = now + kPollIntervalMs;
    return state.request != Request::None ? TrackEnd::Left : TrackEnd::Playing;
}

// Checks the end of the track every 200 ms, and acts on a typed line the moment it arrives.
TrackEnd playUntilTrackEnds(PlayerState& state) {
    std::int64_t nextCheck = platform::clockMs() + kPollIntervalMs;
    for (;;) {
        // After a stop, the next check is followed by a read that waits for the user.
        if (state.readAtOnce)
            if (TrackEnd end = readAndApply(state, nextCheck); end != TrackEnd::Playing) return end;
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
    reprompt(state);
}

}  // namespace

int runPlaybackLoop(PlayerState& state) {
    platform::writeBytes("\n");
    startTrack(state, 0);
    for (;;) {
        if (playUntilTrackEnds(state) == TrackEnd::Quit) return 1;
        closeDevice();
        Choice choice{state.request, state.playingSlot, state.pickedSlot, state.trackCount, state.modes};
        NextTrack next = chooseNextTrack(choice, platform::randomNumber);
        if (next.kind == NextTrack::Kind::ListEnd) {
            platform::readChar();
            return 0;
        }
        platform::writeBytes("\n");
        if (next.kind == NextTrack::Kind::Exit) return 1;
        startTrack(state, next.slot);
    }
}
