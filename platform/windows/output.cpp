// Console output. The player's messages are UTF-8 in the source; the console of the player's
// users shows code page 932 (Shift_JIS), so they are converted on the way out. Names and paths
// came from the system in that code page already and are written untouched.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr UINT kConsoleCodePage = 932;

void writeRaw(const char* data, std::size_t length) {
    if (length > 0) std::fwrite(data, 1, length, stdout);
}

// UTF-8 to code page 932 by way of UTF-16; the text as it is when a step fails.
std::string toConsoleCodePage(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int inLength = static_cast<int>(utf8.size());
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return std::string(utf8);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, wide.data(), wideLength);
    int outLength =
        WideCharToMultiByte(kConsoleCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) return std::string(utf8);
    std::string converted(static_cast<std::size_t>(outLength), '\0');
    WideCharToMultiByte(kConsoleCodePage, 0, wide.data(), wideLength, converted.data(), outLength, nullptr,
                        nullptr);
    return converted;
}

}  // namespace

void writeText(std::string_view utf8) {
    std::string converted = toConsoleCodePage(utf8);
    writeRaw(converted.data(), converted.size());
}

void writeBytes(std::string_view bytes) { writeRaw(bytes.data(), bytes.size()); }

void flushOutput() { std::fflush(stdout); }

}  // namespace platform
