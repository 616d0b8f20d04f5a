#include "library/track_list.h"

#include <cstring>

#include "console/output.h"
#include "library/directory.h"

void fillList(TrackList& list, platform::NamePattern pattern) {
    int found = platform::findNames(pattern, list);
    if (found < 0) found = 0;  // a directory that can't be searched holds nothing for us
    if (found < kMaxTracks) {
        std::memcpy(list[static_cast<std::size_t>(found)].data(), kEndMarker.data(), kEndMarker.size());
        list[static_cast<std::size_t>(found)][kEndMarker.size()] = '\0';
    }
}

void scanTracks(TrackList& list) { fillList(list, platform::NamePattern::Mp3Files); }

int isEndMarker(const char* slot) { return std::string_view(slot) == kEndMarker ? 1 : 0; }

int loadTracks(TrackList& list) {
    scanTracks(list);
    if (isEndMarker(list[0].data())) {
        printText("このディレクトリにMP3は有りません\n");
        printText("移動先ディレクトリを指定してください\n");
        if (changeDirectory() == 0)
            printText("失敗しました\n");
        else
            scanTracks(list);
        return -1;
    }
    int count = 0;
    while (count < kMaxTracks && !isEndMarker(list[static_cast<std::size_t>(count)].data())) ++count;
    return count;
}

void listTracks(TrackList& list) {
    for (int i = 0; i < kMaxTracks; ++i) {
        char* name = list[static_cast<std::size_t>(i)].data();
        if (isEndMarker(name)) return;
        // Shown without the extension: cut at the last '.' for this one line.
        char* lastDot = std::strrchr(name, '.');
        if (lastDot != nullptr) *lastDot = '\0';
        printFormat("%-2d| %s\n", i, name);
        if (lastDot != nullptr) *lastDot = '.';
    }
}
