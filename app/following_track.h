// The track that follows the playing one: chosen a while before its end, by the one chooser of the
// next track, and handed to the device, which joins it to the playing track's last frame with no
// gap. Whatever changes what the choice was made from (a request, a mode, a stop) withdraws it.
#pragma once

#include <cstdint>
#include <optional>

#include "app/next_track.h"
#include "app/player_state.h"

class FollowingTrack {
public:
    // Chooses it, once, when the playing track is to end within a while (msLeft) and nothing was
    // asked for that leaves it; a stopped track has nothing to follow.
    void chooseWhenDue(const PlayerState& state, std::int64_t msLeft);
    // Withdraws it from the device where the state no longer gives the same choice.
    void withdrawIfChanged(const PlayerState& state);

    struct AtEnd {
        NextTrack next;
        bool joined;  // the device already plays it, joined to the track that ended
    };
    // At the playing track's end: what plays next, chosen now where it was not yet.
    AtEnd takeAtEnd(const PlayerState& state);

private:
    // What the choice depends on, besides the list and the random numbers.
    struct Basis {
        Request request;
        Modes modes;
        bool stopped;
        bool operator==(const Basis&) const = default;
    };
    static Basis basisOf(const PlayerState& state) { return {state.request, state.modes, state.stopped}; }

    struct Chosen {
        NextTrack next;
        Basis basis;
        bool queued;  // the device took it
    };
    std::optional<Chosen> chosen_;
};
