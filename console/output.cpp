#include "console/output.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/platform.h"

void printText(std::string_view utf8) { platform::writeText(utf8); }

void printBytes(std::string_view bytes) { platform::writeBytes(bytes); }

void printError(std::string_view utf8) { platform::writeError(utf8); }

void printFormat(const char* format, ...) {
    std::array<char, 512> small{};
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(small.data(), small.size(), format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(length) < small.size()) {
        va_end(again);
        platform::writeBytes(std::string_view(small.data(), static_cast<std::size_t>(length)));
        return;
    }
    // A long name or path: format again into a buffer of the right size.
    std::string large(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    large.resize(static_cast<std::size_t>(length));
    platform::writeBytes(large);
}
