// Numbers typed at the jump prompts.
#pragma once

#include <cstdint>

// Reads one word and returns the number at its start (an optional sign, then digits); a word that
// holds no number counts as 0. Values are held at a trillion, far from any overflow.
// Ends the process with status 1 at the end of input.
std::int64_t readNumber();
