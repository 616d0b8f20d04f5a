#include <algorithm>

#include "app/actions.h"
#include "audio/device.h"
#include "console/status_lines.h"

void reprompt(const PlayerState& state) { showPrompt(trackTitle(state.playingName())); }

Flow stopAction(PlayerState& state, std::string_view) {
    // The track does not end: the clock runs on in silence, and the next check reads a command.
    closeDevice();
    reprompt(state);
    state.readAtOnce = true;
    state.stopped = true;
    return Flow::Continue;
}

Flow resumeAction(PlayerState& state, std::string_view) {
    reprompt(state);
    if (state.clock.pausedSinceMs) {
        resumeDevice();
        state.clock.pausedTotalMs += platform::clockMs() - *state.clock.pausedSinceMs;
        state.clock.pausedSinceMs.reset();
    }
    return Flow::Continue;
}

Flow pauseAction(PlayerState& state, std::string_view) {
    reprompt(state);
    pauseDevice();
    // A second pause keeps the first one's start: the whole pause must move the track's end.
    if (!state.clock.pausedSinceMs) state.clock.pausedSinceMs = platform::clockMs();
    return Flow::Continue;
}

Flow beforeAction(PlayerState& state, std::string_view) {
    // Past the first seconds of a track (counted whole, as time shows them, pauses included),
    // "before" starts it again instead of going back.
    constexpr std::int64_t kGoesBackUpToSeconds = 4;
    bool early = (platform::clockMs() - state.clock.startMs) / 1000 <= kGoesBackUpToSeconds;
    state.request = early ? Request::Previous : Request::Restart;
    return Flow::Continue;
}

Flow nextAction(PlayerState& state, std::string_view) {
    state.request = Request::Next;
    return Flow::Continue;
}

Flow pickAction(PlayerState& state, std::string_view word) {
    // The run of digits at the start of the word; past 50 it does nothing, so a long run is held
    // at a value that can't overflow.
    constexpr int kHeld = 1'000'000;
    int number = 0;
    for (char c : word) {
        if (c < '0' || c > '9') break;
        number = std::min(number * 10 + (c - '0'), kHeld);
    }
    if (number > kMaxTracks) return Flow::Continue;  // nothing at all, not even a prompt
    return pickSlot(state, number);
}

Flow pickSlot(PlayerState& state, int slot) {
    state.request = Request::Pick;
    state.pickedSlot = slot;
    return Flow::Continue;
}

Flow loopAction(PlayerState& state, std::string_view) {
    reprompt(state);
    state.modes.loopOne = !state.modes.loopOne;
    return Flow::Continue;
}

Flow shuffleAction(PlayerState& state, std::string_view) {
    reprompt(state);
    state.modes.shuffle = !state.modes.shuffle;
    return Flow::Continue;
}

Flow alloopAction(PlayerState& state, std::string_view) {
    state.modes.stopAtEnd = !state.modes.stopAtEnd;
    reprompt(state);
    return Flow::Continue;
}

// The sound ends with the process; the device is not closed first.
Flow exitAction(PlayerState&, std::string_view) { return Flow::Quit; }
