// The open files by device id. Ids count up from 1 and are never reused within a process, so a
// stale id names nothing.
#pragma once

#include <memory>

#include "audio/backend.h"
#include "audio/posix/track.h"

namespace sound {

backend::DeviceId addTrack(std::unique_ptr<Track> track);
// Null when id names no open file (0 never does).
Track* findTrack(backend::DeviceId id);
// Takes the track out of the table; null when id names no open file.
std::unique_ptr<Track> removeTrack(backend::DeviceId id);

}  // namespace sound
