// A track's cover, as a file the desktop can show: its embedded picture, written once for the
// track to a file only the user can read, or else a cover picture beside it in its directory.
#pragma once

#include <ctime>
#include <string>

#include "platform/posix/track_tags.h"

namespace platform::bus {

class CoverArt {
public:
    CoverArt() = default;
    ~CoverArt();  // the last picture written goes with it
    CoverArt(const CoverArt&) = delete;
    CoverArt& operator=(const CoverArt&) = delete;

    // The path of the cover of the track at trackPath; empty when it has none. The picture written
    // for the track before is removed.
    std::string coverOf(const std::string& trackPath, const TrackTags& tags);

private:
    std::string written_;  // the picture written last; empty when none
    unsigned pictures_ = 0;
    // The last directory looked through for a cover picture, as it was then, and what it held.
    std::string directory_;
    timespec changed_{};
    std::string found_;
};

}  // namespace platform::bus
