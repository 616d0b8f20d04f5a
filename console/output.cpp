#include "console/output.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

void printFormat(const char* format, ...) {
    std::array<char, 128> line{};  // a number or two and a fixed label
    std::va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line.data(), line.size(), format, args);
    va_end(args);
    if (length > 0)
        platform::writeBytes(std::string_view(line.data(), std::min(std::size_t(length), line.size() - 1)));
}
