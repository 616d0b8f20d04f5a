#include "app/desktop_remote.h"

#include <algorithm>

#include "app/command_table.h"
#include "library/track_list.h"

namespace {

using platform::bus::Call;
using platform::bus::Loop;

constexpr std::int64_t kSeekStepUs = 10'000'000;  // the step of d and f

Flow run(PlayerState& state, std::string_view word) { return actionFor(word)(state, word); }

// A mode's word, only when the mode is not as wanted already.
Flow setMode(PlayerState& state, bool on, bool wanted, std::string_view word) {
    return on == wanted ? Flow::Continue : run(state, word);
}

bool playing(const PlayerState& state) { return !state.stopped && !state.clock.pausedSinceMs; }

Flow jumpWithin(PlayerState& state, std::int64_t positionUs) {
    return jumpTo(state, std::clamp<std::int64_t>(positionUs / 1000, 0, state.clock.lengthMs));
}

}  // namespace

Flow applyRemoteCall(PlayerState& state, const Call& call) {
    switch (call.kind) {
        case Call::Kind::Next: return run(state, "next");
        case Call::Kind::Previous: return run(state, "before");
        case Call::Kind::Stop: return run(state, "stop");
        case Call::Kind::Quit: return run(state, "exit");
        case Call::Kind::Pause: return playing(state) ? run(state, "pause") : Flow::Continue;
        case Call::Kind::PlayPause:
            if (playing(state)) return run(state, "pause");
            [[fallthrough]];
        case Call::Kind::Play:
            // After a stop, the call answers the read that waits for the user, as the console's
            // Enter does: the loop goes on by its clock. A pause is ended by rel.
            return !state.stopped && state.clock.pausedSinceMs ? run(state, "rel") : Flow::Continue;
        case Call::Kind::Seek:
            if (call.us == kSeekStepUs) return run(state, "f");
            if (call.us == -kSeekStepUs) return run(state, "d");
            return jumpWithin(state, state.clock.playedMsAt(platform::clockMs()) * 1000 + call.us);
        case Call::Kind::SetPosition:
            return call.slot == state.playingSlot ? jumpWithin(state, call.us) : Flow::Continue;
        case Call::Kind::SetLoop:
            // Track: loop on; None: alloop on, the run ends after the last track; Playlist: neither.
            if (setMode(state, state.modes.loopOne, call.loop == Loop::Track, "loop") == Flow::Quit)
                return Flow::Quit;
            if (call.loop == Loop::Track) return Flow::Continue;
            return setMode(state, state.modes.stopAtEnd, call.loop == Loop::None, "alloop");
        case Call::Kind::SetShuffle: return setMode(state, state.modes.shuffle, call.on, "shuffle");
    }
    return Flow::Continue;
}

void publishStatus(const PlayerState& state, bool seeked) {
    using platform::bus::Playback;
    platform::bus::Status status;
    status.playback = state.stopped               ? Playback::Stopped
                      : state.clock.pausedSinceMs ? Playback::Paused
                                                  : Playback::Playing;
    status.slot = state.playingSlot;
    status.name = state.playingName();
    status.title = trackTitle(state.playingName());
    status.lengthMs = state.clock.lengthMs;
    status.atMs = platform::clockMs();
    status.playedMs = state.clock.playedMsAt(status.atMs);
    status.loop = state.modes.loopOne ? Loop::Track : state.modes.stopAtEnd ? Loop::None : Loop::Playlist;
    status.shuffle = state.modes.shuffle;
    status.seeked = seeked;
    platform::bus::publish(status);
}
