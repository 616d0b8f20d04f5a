// The signals that concern a terminal the line editor has taken (no echo, a key at a time). A
// signal that ends the player (Ctrl-C, SIGTERM, Ctrl-\) first gives the terminal back as the
// player found it, then ends it by its default action, as ever (130 for Ctrl-C). (A hung-up
// terminal, SIGHUP, has nothing to give back.) Ctrl-Z gives
// it back too before the player stops; once continued (fg), the editor is told through a
// descriptor that its wait polls, and takes the terminal again. (A new window size is read again
// with each new line.)
#pragma once

#include <termios.h>

namespace platform::posix::signals {

// Installs the handlers for the rest of the run (none for a signal that was ignored when the
// player started). original: the terminal's mode to give back.
void catchFor(const termios& original);

// Readable once a signal has come that the editor must see to.
int descriptor();
// Whether the player was stopped and goes on since the last call: the editor takes the terminal
// again and draws its line.
bool continued();

}  // namespace platform::posix::signals
