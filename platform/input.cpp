// One buffered stream over standard input, shared by every platform: words, single bytes and the
// "is a command waiting" test all read from the same buffer, so words typed on one line are taken
// one after another by whatever reads next.
#include <algorithm>
#include <utility>

#include "platform/desktop_bus.h"
#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace platform {
namespace {

using detail::InputBuffer;
using detail::inputBuffer;

detail::Completions offered;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Refills the buffer when it is empty; false at end of input.
bool fill() {
    InputBuffer& in = inputBuffer();
    if (in.head < in.tail) return true;
    if (in.ended) return false;
    in.head = in.tail = 0;
    in.tail = detail::stdinRead(in.bytes.data(), in.bytes.size());
    if (in.tail == 0) in.ended = true;
    return in.tail > 0;
}

// True when the first unread word is buffered with the blank or line end that ends it, so that
// reading it waits for nothing.
bool wholeWordBuffered() {
    const InputBuffer& in = inputBuffer();
    std::size_t k = in.head;
    while (k < in.tail && isBlank(in.bytes[k])) ++k;
    while (k < in.tail && !isBlank(in.bytes[k])) ++k;
    return k < in.tail;
}

// A word too long for the buffer keeps this many of its first bytes while it waits for its end:
// more than any answer holds, so that no read takes anything else from it.
constexpr std::size_t kLongWordKept = InputBuffer{}.bytes.size() / 2;

// Moves the unread bytes to the front of the buffer to make room behind them. Only blanks and a
// word without its end can be unread here: the blanks are squeezed to the last one (a line end may
// still answer a final single-byte read), and a word that fills the buffer is cut.
void makeRoom() {
    InputBuffer& in = inputBuffer();
    std::size_t from = in.head;
    while (from + 1 < in.tail && isBlank(in.bytes[from]) && isBlank(in.bytes[from + 1])) ++from;
    std::copy(in.bytes.data() + from, in.bytes.data() + in.tail, in.bytes.data());
    in.tail -= from;
    in.head = 0;
    if (in.tail == in.bytes.size()) in.tail = (isBlank(in.bytes[0]) ? 1 : 0) + kLongWordKept;
}

// Skips blanks and line ends up to the next answer; false at end of input.
bool skipBlanks() {
    flushOutput();
    InputBuffer& in = inputBuffer();
    for (;;) {
        if (!fill()) return false;
        if (!isBlank(in.bytes[in.head])) return true;
        ++in.head;
    }
}

// Copies bytes into buf until one for which stop is true (left unread) or the end of input, and
// returns how many it kept. Bytes past the buffer's room are dropped with the answer.
template <typename Stop>
std::size_t takeUntil(char* buf, std::size_t size, Stop stop) {
    InputBuffer& in = inputBuffer();
    std::size_t length = 0;
    while (fill() && !stop(in.bytes[in.head])) {
        if (length + 1 < size) buf[length++] = in.bytes[in.head];
        ++in.head;
    }
    if (size > 0) buf[length] = '\0';
    return length;
}

// Takes in what standard input has ready, which a wait has found there.
void takeInReady() {
    InputBuffer& in = inputBuffer();
    makeRoom();
    std::size_t got = detail::stdinRead(in.bytes.data() + in.tail, in.bytes.size() - in.tail);
    if (got == 0) in.ended = true;
    in.tail += got;
}

// While a directory answer is read, a line editor completes directories rather than words.
class DirectoryAsked {
public:
    DirectoryAsked() { offered.directory = true; }
    ~DirectoryAsked() { offered.directory = false; }
    DirectoryAsked(const DirectoryAsked&) = delete;
    DirectoryAsked& operator=(const DirectoryAsked&) = delete;
};

}  // namespace

const detail::Completions& detail::completions() { return offered; }

void offerCompletions(std::vector<std::string> words) { offered.words = std::move(words); }

bool readWord(char* buf, std::size_t size) {
    if (!skipBlanks()) return false;
    takeUntil(buf, size, isBlank);
    return true;
}

bool readPath(char* buf, std::size_t size, bool& quoted) {
    DirectoryAsked asked;
    if (!skipBlanks()) return false;
    InputBuffer& in = inputBuffer();
    quoted = in.bytes[in.head] == '"';
    if (!quoted) {
        takeUntil(buf, size, isBlank);
        return true;
    }
    ++in.head;
    std::size_t length = takeUntil(buf, size, [](char c) { return c == '"' || c == '\n'; });
    if (fill() && in.bytes[in.head] == '"') ++in.head;
    // An unclosed quote ends with its line; a line ended by "\r\n" leaves no '\r' in the path.
    if (length > 0 && buf[length - 1] == '\r') buf[length - 1] = '\0';
    return true;
}

int readChar() {
    flushOutput();
    if (!fill()) return -1;
    InputBuffer& in = inputBuffer();
    return static_cast<unsigned char>(in.bytes[in.head++]);
}

bool waitForInput(int timeoutMs) {
    // The player is about to wait for the user: whatever it printed (a prompt above all) must be
    // seen now, also through a pipe or a file.
    flushOutput();
    const std::int64_t deadline = clockMs() + timeoutMs;
    InputBuffer& in = inputBuffer();
    for (;;) {
        // A command from the desktop's bus wakes the wait too; standard input is then left unread.
        if (wholeWordBuffered() || in.ended || bus::callWaiting()) return true;
        std::int64_t left = deadline - clockMs();
        if (!detail::stdinWait(left > 0 ? static_cast<int>(left) : 0)) return bus::callWaiting();
        // Blank lines are no command, and half a word waits in the buffer for its end while the
        // player goes on: wait on for what is left of the time.
        takeInReady();
    }
}

bool typedWordWaiting() {
    const InputBuffer& in = inputBuffer();
    while (!wholeWordBuffered() && !in.ended && detail::stdinWait(0)) takeInReady();
    return wholeWordBuffered() || in.ended;
}

}  // namespace platform
