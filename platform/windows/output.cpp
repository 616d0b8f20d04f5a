// Output. Inside the player all text is UTF-8: its own messages and the names and paths it got
// from the system alike. A console is handed UTF-16, which it shows whatever its code page; a
// pipe or a file gets code page 932 (Shift_JIS), the character set of the player's users and of
// the scripts that read it. Standard error takes the same way.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace platform {
namespace {

// The console behind a standard handle; nullptr for a pipe or a file.
HANDLE consoleBehind(DWORD standardHandle) {
    HANDLE handle = GetStdHandle(standardHandle);
    DWORD mode = 0;
    return (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) ? handle
                                                                                                  : nullptr;
}

void write(HANDLE console, std::FILE* file, std::string_view utf8) {
    if (utf8.empty()) return;
    const std::wstring wide = detail::wideFromUtf8(utf8);
    if (console != nullptr) {
        DWORD written = 0;
        WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const std::string bytes = detail::codePage932FromWide(wide);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace

void writeText(std::string_view utf8) {
    static const HANDLE console = consoleBehind(STD_OUTPUT_HANDLE);
    write(console, stdout, utf8);
}

// Names and paths are UTF-8 here too (the directory layer makes them so): they take the same way.
void writeBytes(std::string_view bytes) { writeText(bytes); }

void flushOutput() { std::fflush(stdout); }

void writeError(std::string_view utf8) {
    static const HANDLE console = consoleBehind(STD_ERROR_HANDLE);
    write(console, stderr, utf8);
}

}  // namespace platform
