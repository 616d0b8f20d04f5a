#include <algorithm>
#include <limits>

#include "app/actions.h"
#include "audio/device.h"
#include "console/output.h"
#include "console/status_lines.h"
#include "console/typed_input.h"

namespace {

// The device takes a position in milliseconds as a 32-bit number; a time further on (some 24
// days, past the end of any track) plays from there, and the track ends at the next check.
constexpr std::int64_t kLatestPositionSeconds = std::numeric_limits<std::int32_t>::max() / 1000;

// Plays the track from position seconds and sets the clock to agree with it; ends any pause.
void playFrom(PlayerState& state, std::int64_t position, std::int64_t now) {
    position = std::min(position, kLatestPositionSeconds);
    closeDevice();
    openAndPlay(state.playingName(), static_cast<std::int32_t>(position * 1000));
    state.clock.startTime = now - position;
    state.clock.pausedTotal = 0;
    state.clock.pausedSince.reset();
}

void printTimeLine(const PlayerState& state) {
    auto played = static_cast<std::int32_t>(state.clock.playedAt(platform::clockSeconds()));
    std::int32_t length = state.clock.lengthSeconds;
    printFormat("\n%d min %d sec / %d min %d sec\n", played / 60, played % 60, length / 60, length % 60);
    showTimeBar(played, length);
}

}  // namespace

Flow timeAction(PlayerState& state, std::string_view) {
    printTimeLine(state);
    reprompt(state);
    return Flow::Continue;
}

Flow seekBackAction(PlayerState& state, std::string_view) {
    std::int64_t now = platform::clockSeconds();
    std::int64_t played = state.clock.playedAt(now);
    if (played < kSeekSeconds) return Flow::Continue;  // too early in the track: ignored without a word
    playFrom(state, played - kSeekSeconds, now);
    reprompt(state);
    return Flow::Continue;
}

Flow seekForwardAction(PlayerState& state, std::string_view) {
    std::int64_t now = platform::clockSeconds();
    playFrom(state, state.clock.playedAt(now) + kSeekSeconds, now);
    reprompt(state);
    return Flow::Continue;
}

Flow jumpAction(PlayerState& state, std::string_view) {
    printTimeLine(state);
    printText("移動先時間指定 分単位 ~$ ");
    std::optional<std::int64_t> minutes = readNumber();
    if (!minutes) return Flow::Quit;
    printText("移動先時間指定 秒単位 ~$ ");
    std::optional<std::int64_t> seconds = readNumber();
    if (!seconds) return Flow::Quit;
    // A time before the start plays from the start.
    std::int64_t position = std::max<std::int64_t>(0, *minutes * 60 + *seconds);
    // The clock is read after the answer, so the time spent typing does not count as played.
    playFrom(state, position, platform::clockSeconds());
    reprompt(state);
    return Flow::Continue;
}
