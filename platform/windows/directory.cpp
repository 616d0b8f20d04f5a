// Directory search and the current directory, through the wide-character Win32 calls: every name
// the file system holds reaches the player (as UTF-8) and opens again, whatever the system's ANSI
// code page could say of it.
#include <windows.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/name_match.h"
#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace platform {
namespace {

const wchar_t* searchPattern(NamePattern pattern) {
    return pattern == NamePattern::Mp3Files ? L"*.mp3" : L"*.";
}

// Every delivered name still passes the shared selection: the search for "*.mp3" also matches
// 8.3 short names (x.mp3x through X~1.MP3), wine answers "*." with dotted names too, and a name
// whose UTF-8 does not fit a slot is never cut.
bool store(const WIN32_FIND_DATAW& entry, NamePattern pattern, NameSlot& slot) {
    const std::string name =
        detail::utf8FromWide(std::wstring_view(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH)));
    if (!nameMatches(pattern, name)) return false;
    std::memcpy(slot.data(), name.data(), name.size());
    slot[name.size()] = '\0';
    return true;
}

}  // namespace

// The names come in the order of the search: NTFS delivers them sorted by name already.
int findNames(NamePattern pattern, std::span<NameSlot> out) {
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(searchPattern(pattern), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) ? 0 : -1;
    }
    std::size_t stored = 0;
    bool more = true;
    while (more && stored < out.size()) {
        if (store(entry, pattern, out[stored])) ++stored;
        if (stored < out.size()) more = FindNextFileW(search, &entry) != 0;
    }
    FindClose(search);
    return static_cast<int>(stored);
}

bool enterDirectory(const char* path) {
    const std::wstring wide = detail::wideFromUtf8(path);
    return !wide.empty() && SetCurrentDirectoryW(wide.c_str()) != 0;
}

std::string currentDirectory() {
    std::wstring path;
    DWORD needed = GetCurrentDirectoryW(0, nullptr);  // with the terminating zero
    while (needed > 0) {
        path.assign(needed, L'\0');
        DWORD written = GetCurrentDirectoryW(needed, path.data());
        if (written == 0) break;
        if (written < needed) {  // it fitted: written is the length without the zero
            path.resize(written);
            return detail::utf8FromWide(path);
        }
        needed = written;  // the directory changed meanwhile and grew: ask again
    }
    return {};
}

}  // namespace platform
