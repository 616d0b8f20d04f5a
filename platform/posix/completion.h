// What Tab makes of the answer being typed at a terminal: a command word at the player's prompts,
// a directory at a directory question, written as the player reads it back (in double quotes when
// it holds a blank, a quote that a line end may leave open).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

struct Completion {
    std::size_t replaced = 0;          // how many bytes before the cursor the completed text stands for
    std::string text;                  // what stands there instead; empty when there is nothing to add
    bool quoted = false;               // the answer is in double quotes: one must close it after the cursor
    std::vector<std::string> choices;  // several ways on and nothing to add: all of them, sorted
};

// before: the line up to the cursor. The word before the cursor, completed from words.
Completion completeWord(std::string_view before, const std::vector<std::string>& words);
// The directory answer before the cursor, completed from the directories that its path names
// (relative to the current directory, or absolute), ending in '/' once there is only one.
Completion completeDirectory(std::string_view before);

}  // namespace platform::posix
