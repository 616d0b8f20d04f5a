// What the user types at the player's prompts, one answer at a time. Each read flushes the output
// first, so the prompt in front of it is on the screen. Every read is empty at the end of input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One word, cut to 255 bytes (the rest of a longer word is dropped with it).
std::optional<std::string> readWord();

// A number typed at the jump prompts: an optional sign, then digits, at the start of one word; a
// word that holds no number counts as 0. Held at a trillion, far from any overflow.
std::optional<std::int64_t> readNumber();

// An answer at a directory prompt. One that begins with a double quote runs to the closing quote
// (or to the end of its line), blanks included, so that paths with blanks can be typed; any other
// answer is one word. Cut to 1023 bytes.
struct DirectoryAnswer {
    std::string path;
    bool quoted = false;
};
std::optional<DirectoryAnswer> readDirectoryAnswer();
