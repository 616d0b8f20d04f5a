// One buffered stream over standard input, shared by every platform: words, single bytes and the
// "is a command waiting" test all read from the same buffer, so words typed on one line are taken
// one after another by whatever reads next.
#include <algorithm>
#include <array>

#include "platform/desktop_bus.h"
#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace platform {
namespace {

std::array<char, 4096> buffer;
std::size_t head = 0;  // next unread byte
std::size_t tail = 0;  // one past the last buffered byte
bool ended = false;    // end of input seen

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Refills the buffer when it is empty; false at end of input.
bool fill() {
    if (head < tail) return true;
    if (ended) return false;
    head = tail = 0;
    tail = detail::stdinRead(buffer.data(), buffer.size());
    if (tail == 0) ended = true;
    return tail > 0;
}

// True when the first unread word is buffered with the blank or line end that ends it, so that
// reading it waits for nothing.
bool wholeWordBuffered() {
    std::size_t k = head;
    while (k < tail && isBlank(buffer[k])) ++k;
    while (k < tail && !isBlank(buffer[k])) ++k;
    return k < tail;
}

// A word too long for the buffer keeps this many of its first bytes while it waits for its end:
// more than any answer holds, so that no read takes anything else from it.
constexpr std::size_t kLongWordKept = buffer.size() / 2;

// Moves the unread bytes to the front of the buffer to make room behind them. Only blanks and a
// word without its end can be unread here: the blanks are squeezed to the last one (a line end may
// still answer a final single-byte read), and a word that fills the buffer is cut.
void makeRoom() {
    std::size_t from = head;
    while (from + 1 < tail && isBlank(buffer[from]) && isBlank(buffer[from + 1])) ++from;
    std::copy(buffer.data() + from, buffer.data() + tail, buffer.data());
    tail -= from;
    head = 0;
    if (tail == buffer.size()) tail = (isBlank(buffer[0]) ? 1 : 0) + kLongWordKept;
}

// Skips blanks and line ends up to the next answer; false at end of input.
bool skipBlanks() {
    flushOutput();
    for (;;) {
        if (!fill()) return false;
        if (!isBlank(buffer[head])) return true;
        ++head;
    }
}

// Copies bytes into buf until one for which stop is true (left unread) or the end of input, and
// returns how many it kept. Bytes past the buffer's room are dropped with the answer.
template <typename Stop>
std::size_t takeUntil(char* buf, std::size_t size, Stop stop) {
    std::size_t length = 0;
    while (fill() && !stop(buffer[head])) {
        if (length + 1 < size) buf[length++] = buffer[head];
        ++head;
    }
    if (size > 0) buf[length] = '\0';
    return length;
}

// Takes in what standard input has ready, which a wait has found there.
void takeInReady() {
    makeRoom();
    std::size_t got = detail::stdinRead(buffer.data() + tail, buffer.size() - tail);
    if (got == 0) ended = true;
    tail += got;
}

}  // namespace

void detail::resetInput() {
    head = tail = 0;
    ended = false;
}

bool readWord(char* buf, std::size_t size) {
    if (!skipBlanks()) return false;
    takeUntil(buf, size, isBlank);
    return true;
}

bool readPath(char* buf, std::size_t size, bool& quoted) {
    if (!skipBlanks()) return false;
    quoted = buffer[head] == '"';
    if (!quoted) {
        takeUntil(buf, size, isBlank);
        return true;
    }
    ++head;
    std::size_t length = takeUntil(buf, size, [](char c) { return c == '"' || c == '\n'; });
    if (fill() && buffer[head] == '"') ++head;
    // An unclosed quote ends with its line; a line ended by "\r\n" leaves no '\r' in the path.
    if (length > 0 && buf[length - 1] == '\r') buf[length - 1] = '\0';
    return true;
}

int readChar() {
    flushOutput();
    if (!fill()) return -1;
    return static_cast<unsigned char>(buffer[head++]);
}

bool waitForInput(int timeoutMs) {
    // The player is about to wait for the user: whatever it printed (a prompt above all) must be
    // seen now, also through a pipe or a file.
    flushOutput();
    const std::int64_t deadline = clockMs() + timeoutMs;
    for (;;) {
        // A command from the desktop's bus wakes the wait too; standard input is then left unread.
        if (wholeWordBuffered() || ended || bus::callWaiting()) return true;
        std::int64_t left = deadline - clockMs();
        if (!detail::stdinWait(left > 0 ? static_cast<int>(left) : 0)) return bus::callWaiting();
        // Blank lines are no command, and half a word waits in the buffer for its end while the
        // player goes on: wait on for what is left of the time.
        takeInReady();
    }
}

bool typedWordWaiting() {
    while (!wholeWordBuffered() && !ended && detail::stdinWait(0)) takeInReady();
    return wholeWordBuffered() || ended;
}

}  // namespace platform
