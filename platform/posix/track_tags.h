// A track's tags, as the desktop's bus shows them: read through the tag reader's module, which
// is loaded on first use, on the calling thread (the bus's).
#pragma once

#include <string>
#include <vector>

namespace platform::bus {

struct TrackTags {
    std::string title, album;  // empty: none
    std::vector<std::string> artists, albumArtists;
    int trackNumber = 0, discNumber = 0;  // 0: none
    std::string picture, pictureMime;     // the embedded picture's bytes, if any, and its type
};

// The tags of the MP3 file at path; none where it has none, can't be read, or the reader can't be
// loaded. An ID3v2 tag of more than a few MB is not read (the tags after it are).
TrackTags readTrackTags(const std::string& path);

}  // namespace platform::bus
