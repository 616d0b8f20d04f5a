#include "app/desktop_remote.h"

#include <array>
#include <string>

#include "audio/device.h"
#include "library/track_list.h"
#include "platform/platform.h"

namespace {

using platform::bus::Call;
using platform::bus::Loop;

using RemoteAction = Flow (*)(PlayerState& state, const Call& call);

// A command of the prompt, carried out as if its word had been typed.
template <Action action>
Flow command(PlayerState& state, const Call&) {
    return action(state, {});
}

bool playing(const PlayerState& state) { return !state.stopped && !state.clock.pausedSinceMs; }

Flow pause(PlayerState& state, const Call&) {
    return playing(state) ? pauseAction(state, {}) : Flow::Continue;
}

// Stopped, the track starts again, as its number typed would start it; paused, it resumes.
Flow play(PlayerState& state, const Call&) {
    if (state.stopped) return pickSlot(state, state.playingSlot);
    return state.clock.pausedSinceMs ? resumeAction(state, {}) : Flow::Continue;
}

Flow playPause(PlayerState& state, const Call& call) {
    return playing(state) ? pauseAction(state, {}) : play(state, call);
}

// From the played time: before the start plays the track from its start, past the end plays the
// next track, anything else is the jump there. A client may send any 64-bit offset: the sum is
// taken in milliseconds, where it can't overflow (the offset is below 2^54, the played time, by the
// steady clock and the device's 32-bit positions, below 2^42).
Flow seek(PlayerState& state, const Call& call) {
    std::int64_t toMs = state.clock.playedMsAt(platform::clockMs()) + call.us / 1000;
    if (toMs < 0) return jumpTo(state, 0);
    if (toMs > state.clock.lengthMs) return nextAction(state, {});
    return jumpTo(state, toMs);
}

// Only within the track that plays: any other position, or another track's, is ignored.
Flow setPosition(PlayerState& state, const Call& call) {
    if (call.slot != state.playingSlot || call.us < 0 || call.us / 1000 > state.clock.lengthMs)
        return Flow::Continue;
    return jumpTo(state, call.us / 1000);
}

// A mode's command, only when the mode is not as wanted already.
void setMode(PlayerState& state, bool on, bool wanted, Action toggle) {
    if (on != wanted) toggle(state, {});
}

// Track: loop on; None: alloop on, the run ends after the last track; Playlist: neither.
Flow setLoop(PlayerState& state, const Call& call) {
    setMode(state, state.modes.loopOne, call.loop == Loop::Track, loopAction);
    if (call.loop != Loop::Track)
        setMode(state, state.modes.stopAtEnd, call.loop == Loop::None, alloopAction);
    return Flow::Continue;
}

Flow setShuffle(PlayerState& state, const Call& call) {
    setMode(state, state.modes.shuffle, call.on, shuffleAction);
    return Flow::Continue;
}

// Where the output has no volume of its own the bus offers none to set.
Flow setVolume(PlayerState&, const Call& call) {
    if (outputVolume() >= 0) setOutputVolume(call.volume);
    return Flow::Continue;
}

struct RemoteRow {
    Call::Kind kind;
    RemoteAction action;
};

// Row k carries out the calls of kind k.
constexpr std::array kRemote{
    RemoteRow{Call::Kind::Next, command<nextAction>},
    RemoteRow{Call::Kind::Previous, command<beforeAction>},
    RemoteRow{Call::Kind::Pause, pause},
    RemoteRow{Call::Kind::Play, play},
    RemoteRow{Call::Kind::PlayPause, playPause},
    RemoteRow{Call::Kind::Stop, command<stopAction>},
    RemoteRow{Call::Kind::Seek, seek},
    RemoteRow{Call::Kind::SetPosition, setPosition},
    RemoteRow{Call::Kind::Quit, command<exitAction>},
    RemoteRow{Call::Kind::SetLoop, setLoop},
    RemoteRow{Call::Kind::SetShuffle, setShuffle},
    RemoteRow{Call::Kind::SetVolume, setVolume},
};

constexpr bool everyKindInItsRow() {
    for (std::size_t k = 0; k < kRemote.size(); ++k)
        if (kRemote[k].kind != static_cast<Call::Kind>(k)) return false;
    return kRemote.size() == platform::bus::kCallKinds;
}
static_assert(everyKindInItsRow(), "every kind of call has its row, in the order of the kinds");

}  // namespace

Flow applyRemoteCall(PlayerState& state, const Call& call) {
    return kRemote[static_cast<std::size_t>(call.kind)].action(state, call);
}

bool callInTurn(PlayerState& state, Call& call) {
    // A typed word that waits too goes first when a call went last: a word waits behind one call
    // at most, however many more the bus has queued.
    bool wordsTurn = state.callWentLast && platform::bus::callWaiting() && platform::typedWordWaiting();
    state.callWentLast = !wordsTurn && platform::bus::takeCall(call);
    return state.callWentLast;
}

namespace {
double shownVolume = -1;  // the output's volume as the bus was last shown it
}  // namespace

void publishVolumeChange(const PlayerState& state) {
    if (outputVolume() != shownVolume) publishStatus(state, false);
}

void publishStatus(const PlayerState& state, bool seeked) {
    using platform::bus::Playback;
    platform::bus::Status status;
    status.playback = state.stopped               ? Playback::Stopped
                      : state.clock.pausedSinceMs ? Playback::Paused
                                                  : Playback::Playing;
    status.slot = state.playingSlot;
    std::string directory = platform::currentDirectory();
    status.path = directory + (directory.ends_with('/') ? "" : "/") + std::string(state.playingName());
    status.title = trackTitle(state.playingName());
    status.lengthMs = state.clock.lengthMs;
    status.atMs = platform::clockMs();
    status.playedMs = state.clock.playedMsAt(status.atMs);
    status.loop = state.modes.loopOne ? Loop::Track : state.modes.stopAtEnd ? Loop::None : Loop::Playlist;
    status.shuffle = state.modes.shuffle;
    status.volume = shownVolume = outputVolume();
    status.seeked = seeked;
    platform::bus::publish(status);
}
