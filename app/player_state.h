// The state of one run of the player, owned by runPlayer for the whole run.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "library/track_list.h"

// The three modes the help screen shows as on or off.
struct Modes {
    bool shuffle = false;    // a random track at each start, unless one was asked for
    bool loopOne = false;    // the playing track again at each start
    bool stopAtEnd = false;  // "alloop": past the last track the player ends instead of wrapping
    bool operator==(const Modes&) const = default;
};

// What the user asked for that leaves the playing track; the loop picks the next slot from it.
enum class Request {
    None,          // nothing: the track plays to its end
    Next,          // next
    Previous,      // before, early in a track
    Restart,       // before, later in a track
    Pick,          // a typed track number
    NewDirectory,  // cd to a directory with tracks: go on in its list
};

// Where the playing track stands by the clock: milliseconds of the steady clock, which the
// system's time setting never moves. What the user sees of it is whole seconds, rounded down.
struct TrackClock {
    std::int64_t lengthMs = 0;
    bool lengthIsEstimate = false;              // the device is still making it exact: asked again
    std::int64_t startMs = 0;                   // the reading that stands for position 0
    std::optional<std::int64_t> pausedSinceMs;  // the reading at which the pause under way began
    std::int64_t pausedTotalMs = 0;             // time spent in finished pauses of this track

    // Milliseconds of the track heard by the clock at now: elapsed, less the finished pauses and
    // the pause under way.
    std::int64_t playedMsAt(std::int64_t now) const {
        return now - startMs - pausedTotalMs - (pausedSinceMs ? now - *pausedSinceMs : 0);
    }
};

struct PlayerState {
    TrackList tracks{};
    int trackCount = 0;
    int playingSlot = 0;
    Modes modes;
    TrackClock clock;
    Request request = Request::None;
    int pickedSlot = 0;         // with Request::Pick: the number typed
    bool readAtOnce = false;    // after stop: the next check reads a command, waiting for the user
    bool stopped = false;       // after stop, until a seek, a jump or the next track sounds again
    bool callWentLast = false;  // the last command came from the desktop's bus, not the keyboard

    std::string_view playingName() const { return nameIn(tracks[static_cast<std::size_t>(playingSlot)]); }
};
