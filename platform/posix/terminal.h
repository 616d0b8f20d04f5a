// Standard input and output when both are one terminal that can move its cursor: the player's
// output is written above a line editor whose prompt is the player's own, and the lines entered
// there feed the input buffer. Anywhere else (a pipe, a file, a terminal on one side only,
// TERM=dumb) the player reads and writes plain bytes, as ever.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::posix::terminal {

// Whether the player runs at such a terminal (decided at the first call).
bool inUse();
// Whether a terminal of the kind TERM names (null when unset) moves its cursor: not so when it is
// unset, empty or "dumb".
bool movesItsCursor(const char* type);

// The output: held until flush, when the whole lines are written above the editor's line.
void write(std::string_view bytes);
void flush();

// As detail::stdinWait and detail::stdinRead: the editor takes the keys while the player waits,
// and an entered line is what the read returns.
bool wait(int timeoutMs);
std::size_t read(char* buf, std::size_t size);

}  // namespace platform::posix::terminal
