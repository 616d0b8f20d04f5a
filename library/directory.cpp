#include "library/directory.h"

#include <array>
#include <cstring>

#include "console/output.h"
#include "library/track_list.h"
#include "platform/platform.h"

int changeDirectory() {
    printBytes("Please type to new Directory~$ ");
    std::array<char, 1024> dirbuf{};
    // The end of input is taken as the word "exit": nothing more can be typed.
    bool read = platform::readWord(dirbuf.data(), dirbuf.size());
    if (!read || std::strcmp(dirbuf.data(), "exit") == 0) {
        printText("終了します\n");
        platform::exitProcess(1);
    }
    return platform::enterDirectory(dirbuf.data()) ? 1 : 0;
}

void listSubdirectories() {
    TrackList list;
    fillList(list, platform::NamePattern::NamesWithoutDot);
    for (const platform::NameSlot& slot : list) {
        if (isEndMarker(slot.data())) return;
        printFormat("  %s\n", slot.data());
    }
}
