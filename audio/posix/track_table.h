// The open files by device id. Ids count up from 1 and are never reused within a process, so a
// stale id names nothing.
#pragma once

#include <memory>

#include "audio/backend.h"
#include "audio/posix/track.h"
#include "audio/posix/track_file.h"

namespace sound {

struct OpenFile {
    std::unique_ptr<Track> track;
    backend::Format format;
    FileIdentity identity;  // the file as it was when opened
};

backend::DeviceId addTrack(OpenFile file);
// Null when id names no open file (0 never does).
Track* findTrack(backend::DeviceId id);
// Takes the file out of the table; its track is null when id names no open file.
OpenFile removeTrack(backend::DeviceId id);

}  // namespace sound
