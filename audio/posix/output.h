// The process's one sound output, opened at the first play and kept until the process ends. Its
// sink is the sound server's stream where one answers and no SDL_AUDIODRIVER is set, SDL's output
// otherwise (see sink.h). The sink's thread renders the timeline (timeline.h); every change below
// is made with that thread held off, by the rule written in sink.h.
//
// The open track is the one the service has open; the output plays it, and follows what it is told
// about it: a play from a position, a pause and a resume, a track that follows it with no gap.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/posix/track.h"

namespace sound::output {

// Plays track from fromMs in place of whatever plays; it is the open track from now on. From its
// start it begins with its own first frame; from anywhere else it fades in.
void play(Track& track, std::uint32_t fromMs);
// Pauses and resumes the open track; the pause keeps its place where the fade-out ends.
void pause();
void resume();
// The open track stops sounding, and nothing is open.
void stop();
// next plays right after the open track's end with no gap, from its first frame.
void follow(Track& next);
// What follows the open track no longer does; where it has begun to be heard, it fades out.
void unfollow();
// next, which followed the open track, is the open track now (its sound has begun).
void advance(Track& next);
// track is about to be destroyed: nothing of it plays or is referred to any more.
void forget(const Track& track);
// In how many milliseconds the open track's last frame will have been heard, by the sink; nothing
// when the sink can't tell, nothing is open, or it is paused.
std::optional<std::int64_t> msUntilEnd();
// The output's own volume, 0 to 1; negative when it has none (then setting it does nothing).
double volume();
void setVolume(double volume);
// The process ends: what sounds fades out, and this returns once that has been heard (or a short
// while has passed).
void finish();

}  // namespace sound::output
