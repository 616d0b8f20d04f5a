#include "library/track_list.h"

#include <algorithm>

#include "console/output.h"
#include "platform/platform.h"

int fillList(TrackList& list, platform::NamePattern pattern) {
    int found = platform::findNames(pattern, list);
    if (found < 0) found = 0;  // a directory that can't be searched holds nothing for us
    if (found < kMaxTracks) {
        platform::NameSlot& end = list[static_cast<std::size_t>(found)];
        std::copy(kEndMarker.begin(), kEndMarker.end(), end.begin());
        end[kEndMarker.size()] = '\0';
    }
    return found;
}

int scanTracks(TrackList& list) { return fillList(list, platform::NamePattern::Mp3Files); }

std::string_view nameIn(const platform::NameSlot& slot) { return slot.data(); }

bool isEndMarker(const platform::NameSlot& slot) { return nameIn(slot) == kEndMarker; }

std::string_view trackTitle(std::string_view name) { return name.substr(0, name.rfind('.')); }

void listTracks(const TrackList& list) {
    for (int i = 0; i < kMaxTracks; ++i) {
        const platform::NameSlot& slot = list[static_cast<std::size_t>(i)];
        if (isEndMarker(slot)) return;
        printFormat("%-2d| ", i);
        platform::writeBytes(trackTitle(nameIn(slot)));
        platform::writeBytes("\n");
    }
}
