// What the sink plays, as one timeline in frames of the sink's stream, counted from its first frame:
// the frames rendered lately (what a change can still replace) and which track each run of them
// came from, then what is rendered next. A change replaces what the sink has not played yet from a
// given frame on: what the listener would have heard there fades out from the gain it has reached,
// and the new sound follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "audio/posix/track.h"

namespace sound {

// A frame of a track; no track: silence.
struct Place {
    Track* track = nullptr;
    std::int64_t frame = 0;
};

class Timeline {
public:
    // rate: the sink's frames a second; kept: how many of the latest frames rendered a change may
    // still replace (none for a sink that can take nothing back).
    Timeline(int rate, std::int64_t kept);

    int rate() const { return rate_; }
    // The stream's frame that is rendered next.
    std::int64_t rendered() const { return rendered_; }
    // The first frame a change can still replace.
    std::int64_t oldest() const { return keptFrom_; }

    // On the sink's thread: the next frames of the stream.
    void render(float* out, std::size_t frames);

    // The following are changes, made with the sink's thread held off.
    // From `from` on (brought within oldest() and rendered()) the sink plays next, faded in when
    // fadeIn. Before it, with fadeOut, what it would have played from `from` fades out, where that
    // is sound; without, it is simply dropped (a track's own end). A join of the follower at or
    // after `from` is undone: it follows again. Returns where the sound that faded out had come to
    // at the end of its fade.
    Place replace(std::int64_t from, Place next, bool fadeIn, bool fadeOut = true);
    // track plays right after the end of the track that plays now, with no gap, from its first
    // frame; null: nothing does. A join already rendered is forgotten: what joined plays on.
    void follow(Track* track);
    // What is rendered now (after any fade-out still to come); null: silence.
    Track* playing() const { return playing_; }
    // What plays after it.
    Track* follower() const { return follower_; }
    // Where the fade-out of the last change ends; nothing when it had nothing to fade.
    std::optional<std::int64_t> fadeOutEnd() const { return fadeOutEnd_; }
    // track is going away: nothing of it is rendered any more, and no run of frames names it.
    void forget(const Track* track);
    // Where the track that follows joined what played before it, once rendered and while no
    // change has come after it.
    std::optional<std::int64_t> joinedAt() const;
    // Whether track is the one that joined there (its frames may all be rendered by now).
    bool joined(const Track* track) const { return joined_ && joined_->track == track; }
    // The frame of the stream at which track's sound ends: where its last run of frames stopped,
    // or, while it plays on, where its length says it will.
    std::optional<std::int64_t> endOf(const Track* track) const;

private:
    // From `at` on, the frames are those of track from frame `from` on (null: silence or a fade).
    struct Mark {
        std::int64_t at;
        Track* track;
        std::int64_t from;
    };

    // Fills out with what plays next, as if rendered at produced_, without keeping it.
    void produce(float* out, std::size_t frames);
    // The frames the sink would play from `from` on, as far as they are rendered, then produced.
    std::vector<float> wouldPlay(std::int64_t from, std::int64_t frames);
    Place placeAt(std::int64_t at) const;
    void keep(const float* frames, std::size_t count);
    // Links what plays to what follows it, so that the two decode as one stream.
    void relink();
    void mark(std::int64_t at, Track* track, std::int64_t from);

    int rate_;
    std::int64_t kept_;
    std::vector<float> history_;  // the latest frames rendered, a ring of kept_ frames
    std::int64_t rendered_ = 0;   // frames rendered into the stream
    std::int64_t keptFrom_ = 0;   // the oldest of them still in history_
    std::int64_t produced_ = 0;   // the frame produce() makes next (rendered_, but inside a change)
    std::deque<Mark> marks_;      // in the order of `at`, back to the oldest frame kept
    std::vector<float> lead_;     // a fade-out, played before the track
    std::size_t leadPlayed_ = 0;  // frames of it played
    std::optional<std::int64_t> fadeOutEnd_;  // the stream frame after the last fade-out
    Track* playing_ = nullptr;                // rendered after the lead; null: silence
    std::int64_t fadedIn_ = 0;                // frames of its fade-in behind it (kFadeFrames: none left)
    Track* follower_ = nullptr;               // plays after playing_'s end
    Track* linked_ = nullptr;                 // the track linked to follower_
    std::optional<Mark> joined_;              // where the last follower joined
};

}  // namespace sound
