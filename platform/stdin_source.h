// The two primitives under the shared input buffer; each platform (and the test fake) has its own.
#pragma once

#include <cstddef>

namespace platform::detail {

// Reads up to size bytes of standard input, waiting until at least one is there.
// Returns the number read; 0 at end of input (or on an error, which ends input just the same).
std::size_t stdinRead(char* buf, std::size_t size);

// Waits up to timeoutMs (0: not at all) for stdinRead to be able to return at once; true when
// bytes or the end of input are ready. A call from the desktop's bus ends the wait early, false.
bool stdinWait(int timeoutMs);

// Forgets everything buffered (the test fake starts each scenario afresh).
void resetInput();

}  // namespace platform::detail
