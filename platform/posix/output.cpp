// Standard output. The player's messages follow the locale's character set: code page 932 bytes
// in a Shift_JIS locale, UTF-8 (as written in the source) everywhere else.
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/terminal.h"
#include "platform/posix/text_conversion.h"

namespace platform {
namespace {

// Asks the user's locale for its codeset once. Only the character type category is looked at,
// and it is put back afterwards, so number formatting and the rest of the C library stay in the
// "C" locale.
bool localeWantsCodePage932() {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    bool wanted = false;
    if (std::setlocale(LC_CTYPE, "") != nullptr) wanted = posix::isCodePage932(nl_langinfo(CODESET));
    std::setlocale(LC_CTYPE, previous.c_str());
    return wanted;
}

}  // namespace

void writeText(std::string_view utf8) {
    static const bool codePage932 = localeWantsCodePage932();
    if (codePage932)
        writeBytes(posix::convertFromUtf8(utf8, "CP932"));
    else
        writeBytes(utf8);
}

namespace {

// Nobody reads the output any more (the pipe's reader has gone): the player ends as a program in
// a pipeline does, by SIGPIPE, quietly, also where the signal was set to be ignored.
void endWhenOutputClosed() {
    if (errno != EPIPE) return;
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
}

}  // namespace

void writeBytes(std::string_view bytes) {
    if (posix::terminal::inUse()) return posix::terminal::write(bytes);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) endWhenOutputClosed();
}

void flushOutput() {
    if (posix::terminal::inUse()) return posix::terminal::flush();
    if (std::fflush(stdout) != 0) endWhenOutputClosed();
}

// The complaints name arguments as they came, in the locale's own encoding: written unchanged.
void writeError(std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }

}  // namespace platform
