// Helpers for scenarios of the whole player on the fake platform.
#pragma once

#include <string>

#include "app/player.h"
#include "tests/fake/fake_platform.h"

namespace scenario {

// A directory of (empty) files; each name gets its own length in seconds through setLengthMs.
inline void addTracks(const std::string& dir, std::initializer_list<std::string> names, int seconds = 180) {
    fake::addDirectory(dir);
    for (const std::string& name : names) {
        fake::addFile(dir + "/" + name);
        fake::setLengthMs(name, static_cast<std::uint32_t>(seconds) * 1000u);
    }
}

inline int runPlayer() { return ::runPlayer(); }

// Counts how often needle stands in text.
inline int count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

}  // namespace scenario
