#include "library/directory.h"

#include "console/output.h"
#include "library/track_list.h"

void listSubdirectories() {
    TrackList list;
    fillList(list, platform::NamePattern::NamesWithoutDot);
    for (const platform::NameSlot& slot : list) {
        if (isEndMarker(slot)) return;
        printBytes("  ");
        printBytes(nameIn(slot));
        printBytes("\n");
    }
}
