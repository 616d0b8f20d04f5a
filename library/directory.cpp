#include "library/directory.h"

#include "library/track_list.h"
#include "platform/platform.h"

void listSubdirectories() {
    TrackList list;
    fillList(list, platform::NamePattern::NamesWithoutDot);
    for (const platform::NameSlot& slot : list) {
        if (isEndMarker(slot)) return;
        platform::writeBytes("  ");
        platform::writeBytes(nameIn(slot));
        platform::writeBytes("\n");
    }
}
