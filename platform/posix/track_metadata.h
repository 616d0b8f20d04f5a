// What the desktop's bus shows of the track that plays (MPRIS Metadata): its tags, read once for
// each track, its cover and its file's URL. Only the bus's thread uses it, so that reading a tag
// never holds up the player.
#pragma once

#include <systemd/sd-bus.h>

#include <string>
#include <string_view>

#include "platform/desktop_bus.h"
#include "platform/posix/cover_art.h"
#include "platform/posix/track_tags.h"

namespace platform::bus {

// The track ids the bus publishes: this prefix, then the slot's number ("/org/quavelin/track/7").
inline constexpr std::string_view kTrackPath = "/org/quavelin/track/";
inline std::string trackId(int slot) { return std::string(kTrackPath) + std::to_string(slot); }

class TrackMetadata {
public:
    // Appends the Metadata of status's track to reply (a{sv}), its tags read first if it is
    // another file than the last one.
    int append(sd_bus_message* reply, const Status& status);

private:
    std::string path_;  // the file the rest is of
    TrackTags tags_;
    std::string url_, coverUrl_;
    CoverArt cover_;
};

}  // namespace platform::bus
