// What the shared input buffer (platform/input.cpp) stands on; each platform (and the test fake)
// has its own: two primitives over standard input, and the home of the buffer itself.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace platform::detail {

// Reads up to size bytes of standard input, waiting until at least one is there.
// Returns the number read; 0 at end of input (or on an error, which ends input just the same).
std::size_t stdinRead(char* buf, std::size_t size);

// Waits up to timeoutMs (0: not at all) for stdinRead to be able to return at once; true when
// bytes or the end of input are ready. A call from the desktop's bus ends the wait early, false.
bool stdinWait(int timeoutMs);

// The bytes read from standard input and not yet taken by a read of the player's.
struct InputBuffer {
    std::array<char, 4096> bytes{};
    std::size_t head = 0;  // next unread byte
    std::size_t tail = 0;  // one past the last buffered byte
    bool ended = false;    // end of input seen
};
// The run's one buffer: the real platforms keep it for the whole run, the test fake in the world
// that each scenario starts afresh.
InputBuffer& inputBuffer();

// What a line editor at a terminal completes with Tab (others ignore it): at a directory question
// the directories, elsewhere the command words the player offered (platform::offerCompletions).
struct Completions {
    bool directory = false;  // a directory answer is being read
    std::vector<std::string> words;
};
const Completions& completions();

}  // namespace platform::detail
