// Standard input when it is a console: typed text comes as UTF-16 and is handed on as UTF-8.
#pragma once

#include <windows.h>

#include <string>

namespace platform::detail {

// Waits up to timeoutMs for a key press that types something. Other console events (mouse,
// focus, window size, a lone Shift, key releases) are taken out of the way and do not count, so
// they neither end the wait nor make the player read.
bool consoleWait(HANDLE input, int timeoutMs);

// Reads one typed line (or the part of it that fits) into utf8. False at the end of input: Ctrl+Z
// at the start of a read, as ReadFile takes it, or a failed read.
bool consoleRead(HANDLE input, std::string& utf8);

}  // namespace platform::detail
