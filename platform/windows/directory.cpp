// Directory search and the current directory, through the Win32 ANSI calls, so that names stay
// in the system's code page from the search to the open.
#include <windows.h>

#include <cstring>
#include <string_view>

#include "platform/name_match.h"
#include "platform/platform.h"

namespace platform {
namespace {

const char* searchPattern(NamePattern pattern) { return pattern == NamePattern::Mp3Files ? "*.mp3" : "*."; }

// Every delivered name still passes the shared selection: the search for "*.mp3" also matches
// 8.3 short names (x.mp3x through X~1.MP3), wine answers "*." with dotted names too, and a name
// that does not fit a slot is never cut.
bool store(const WIN32_FIND_DATAA& entry, NamePattern pattern, NameSlot& slot) {
    std::string_view name(entry.cFileName, strnlen(entry.cFileName, sizeof entry.cFileName));
    if (!nameMatches(pattern, name)) return false;
    std::memcpy(slot.data(), name.data(), name.size());
    slot[name.size()] = '\0';
    return true;
}

}  // namespace

// The names come in the order of the search: NTFS delivers them sorted by name already.
int findNames(NamePattern pattern, std::span<NameSlot> out) {
    WIN32_FIND_DATAA entry{};
    HANDLE search = FindFirstFileA(searchPattern(pattern), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) ? 0 : -1;
    }
    std::size_t stored = 0;
    bool more = true;
    while (more && stored < out.size()) {
        if (store(entry, pattern, out[stored])) ++stored;
        if (stored < out.size()) more = FindNextFileA(search, &entry) != 0;
    }
    FindClose(search);
    return static_cast<int>(stored);
}

bool enterDirectory(const char* path) { return SetCurrentDirectoryA(path) != 0; }

std::string currentDirectory() {
    std::string path;
    DWORD needed = GetCurrentDirectoryA(0, nullptr);  // with the terminating zero
    while (needed > 0) {
        path.assign(needed, '\0');
        DWORD written = GetCurrentDirectoryA(needed, path.data());
        if (written == 0) break;
        if (written < needed) {  // it fitted: written is the length without the zero
            path.resize(written);
            return path;
        }
        needed = written;  // the directory changed meanwhile and grew: ask again
    }
    return {};
}

}  // namespace platform
