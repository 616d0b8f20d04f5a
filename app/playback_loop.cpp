#include "app/playback_loop.h"

#include <algorithm>

#include "app/actions.h"
#include "app/command_table.h"
#include "app/desktop_remote.h"
#include "app/following_track.h"
#include "app/next_track.h"
#include "audio/device.h"
#include "console/typed_input.h"
#include "platform/platform.h"

namespace {

// The pace of the checks between commands: whether the track is over, whether the next one is
// due to be chosen.
constexpr int kPollIntervalMs = 200;
// A file the device can't play has no length; it still holds its slot this long, so that a list
// of such files does not race by.
constexpr std::int64_t kShortestTrackMs = 1000;
// How far the device's account of when its sound ends may move a track's end from the clock's: a
// sound that started late is waited for, but a sound server that stalls holds nothing up for long.
constexpr std::int64_t kLongestSoundLagMs = 1000;

// When the track is over if nothing changes: once its whole length has played by the clock and,
// where the device can tell when its sound will have been heard to the end, then, so that the next
// track's prompt comes with its first sound. Never while paused.
std::optional<std::int64_t> trackEndsAtMs(const TrackClock& clock) {
    if (clock.pausedSinceMs) return std::nullopt;
    const std::int64_t now = platform::clockMs();
    const std::int64_t byClock = now - clock.playedMsAt(now) + std::max(clock.lengthMs, kShortestTrackMs);
    const std::optional<std::int64_t> heardIn = msUntilTrackEnd();
    if (!heardIn) return byClock;
    return std::clamp(now + *heardIn, byClock - kLongestSoundLagMs, byClock + kLongestSoundLagMs);
}

enum class TrackEnd { Playing, Over, Left, Quit };

// Carries out one command, a call from the desktop's bus or a typed word, in turn, and shows
// the bus the state it leaves; the end of input is the word "exit". The checks keep their pace
// whatever is typed between them; only a command that took longer than the rest of an interval
// (one that asked a question, or the read that waits for the user after a stop) gets a whole
// interval after it.
TrackEnd readAndApply(PlayerState& state, std::int64_t& nextCheck, FollowingTrack& following) {
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
    following.withdrawIfChanged(state);
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

// The length once more, while the device is still making it exact; the desktop's bus is shown a
// change.
void refreshLength(PlayerState& state) {
    const std::int64_t before = state.clock.lengthMs;
    readTrackLength(state.clock);
    if (state.clock.lengthMs != before) publishStatus(state, false);
}

// Checks every 200 ms, acts on a typed line the moment it arrives, and ends the track the moment
// it is over.
TrackEnd playUntilTrackEnds(PlayerState& state, FollowingTrack& following) {
    std::int64_t nextCheck = platform::clockMs() + kPollIntervalMs;
    for (;;) {
        // After a stop, the next check is followed by a read that waits for the user.
        if (state.readAtOnce) {
            awaitCommand();
            if (TrackEnd end = readAndApply(state, nextCheck, following); end != TrackEnd::Playing)
                return end;
        }
        if (state.clock.lengthIsEstimate) refreshLength(state);
        std::optional<std::int64_t> endsAt = trackEndsAtMs(state.clock);
        for (;;) {
            const std::int64_t now = platform::clockMs();
            if (endsAt) following.chooseWhenDue(state, *endsAt - now);
            const std::int64_t left = std::min(nextCheck, endsAt.value_or(nextCheck)) - now;
            if (!platform::waitForInput(left > 0 ? static_cast<int>(left) : 0)) break;
            if (TrackEnd end = readAndApply(state, nextCheck, following); end != TrackEnd::Playing)
                return end;
            endsAt = trackEndsAtMs(state.clock);
        }
        endsAt = trackEndsAtMs(state.clock);
        if (endsAt && platform::clockMs() >= *endsAt) return TrackEnd::Over;
        if (platform::clockMs() < nextCheck) continue;
        publishVolumeChange(state);
        nextCheck += kPollIntervalMs;
    }
}

// Starts slot from its beginning, or, joined, takes it as it already plays after the track before.
void startTrack(PlayerState& state, int slot, bool joined) {
    state.playingSlot = slot;
    state.request = Request::None;
    if (!joined) openAndPlay(state.playingName(), 0);
    state.clock = TrackClock{};
    readTrackLength(state.clock);
    state.clock.startMs = platform::clockMs();
    state.stopped = false;
    reprompt(state);
    publishStatus(state, false);
}

}  // namespace

int runPlaybackLoop(PlayerState& state, bool onDesktopBus) {
    platform::writeBytes("\n");
    startTrack(state, 0, false);
    // Once the first prompt is out: the player can be driven before the bus has answered.
    if (onDesktopBus) platform::bus::open();
    FollowingTrack following;
    for (;;) {
        if (playUntilTrackEnds(state, following) == TrackEnd::Quit) return 1;
        const auto [next, joined] = following.takeAtEnd(state);
        if (!joined) closeDevice();
        if (next.kind == NextTrack::Kind::ListEnd) {
            platform::readChar();
            return 0;
        }
        platform::writeBytes("\n");
        if (next.kind == NextTrack::Kind::Exit) return 1;
        startTrack(state, next.slot, joined);
    }
}
