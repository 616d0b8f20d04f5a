#include <algorithm>
#include <limits>

#include "app/actions.h"
#include "audio/device.h"
#include "console/output.h"
#include "console/status_lines.h"
#include "console/typed_input.h"
#include "platform/platform.h"

namespace {

constexpr std::int64_t kSeekMs = 10'000;
// The device takes a position in milliseconds as a 32-bit number; a time further on (some 24
// days, past the end of any track) plays from there, and the track ends at the next check.
constexpr std::int64_t kLatestPositionMs = std::numeric_limits<std::int32_t>::max();

// Plays the track from positionMs and sets the clock to agree with it; ends any pause.
void playFrom(PlayerState& state, std::int64_t positionMs, std::int64_t now) {
    positionMs = std::min(positionMs, kLatestPositionMs);
    closeDevice();
    openAndPlay(state.playingName(), static_cast<std::int32_t>(positionMs));
    // The file may have been replaced since the track started: its length is the new file's.
    readTrackLength(state.clock);
    state.clock.startMs = now - positionMs;
    state.clock.pausedTotalMs = 0;
    state.clock.pausedSinceMs.reset();
    state.stopped = false;
}

// Whole seconds, rounded down, as the time line shows them.
std::int32_t wholeSeconds(std::int64_t ms) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(ms / 1000, 0, std::numeric_limits<std::int32_t>::max()));
}

void printTimeLine(const PlayerState& state) {
    std::int32_t played = wholeSeconds(state.clock.playedMsAt(platform::clockMs()));
    std::int32_t length = wholeSeconds(state.clock.lengthMs);
    printFormat("\n%d min %d sec / %d min %d sec\n", played / 60, played % 60, length / 60, length % 60);
    showTimeBar(played, length);
}

}  // namespace

void readTrackLength(TrackClock& clock) {
    const TrackLength length = trackLength();
    clock.lengthMs = length.ms;
    clock.lengthIsEstimate = length.estimate;
}

Flow timeAction(PlayerState& state, std::string_view) {
    printTimeLine(state);
    reprompt(state);
    return Flow::Continue;
}

Flow seekBackAction(PlayerState& state, std::string_view) {
    std::int64_t now = platform::clockMs();
    std::int64_t played = state.clock.playedMsAt(now);
    if (played < kSeekMs) return Flow::Continue;  // too early in the track: ignored without a word
    playFrom(state, played - kSeekMs, now);
    reprompt(state);
    return Flow::Continue;
}

Flow seekForwardAction(PlayerState& state, std::string_view) {
    std::int64_t now = platform::clockMs();
    playFrom(state, state.clock.playedMsAt(now) + kSeekMs, now);
    reprompt(state);
    return Flow::Continue;
}

Flow jumpAction(PlayerState& state, std::string_view) {
    printTimeLine(state);
    platform::writeText("移動先時間指定 分単位 ~$ ");
    std::optional<std::int64_t> minutes = readNumber();
    if (!minutes) return Flow::Quit;
    platform::writeText("移動先時間指定 秒単位 ~$ ");
    std::optional<std::int64_t> seconds = readNumber();
    if (!seconds) return Flow::Quit;
    // A time before the start plays from the start.
    std::int64_t position = std::max<std::int64_t>(0, *minutes * 60 + *seconds);
    // The clock is read after the answer, so the time spent typing does not count as played.
    return jumpTo(state, position * 1000);
}

Flow jumpTo(PlayerState& state, std::int64_t positionMs) {
    playFrom(state, positionMs, platform::clockMs());
    reprompt(state);
    return Flow::Continue;
}
