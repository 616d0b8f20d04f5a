// The process's one sound output, opened at the first play and kept until the process ends. Its
// sink is the sound server's stream where one answers and no SDL_AUDIODRIVER is set, SDL's output
// otherwise (see sink.h). The sink's thread renders the playing track; every change of what plays
// is made with that thread held off.
#pragma once

#include <cstdint>

#include "audio/posix/track.h"

namespace sound {

// Plays track from fromMs, in place of whatever played before.
void play(Track& track, std::uint32_t fromMs);
void setPaused(Track& track, bool paused);
// Stops rendering track when it is the one playing; after this it may be destroyed.
void forget(Track& track);

}  // namespace sound
