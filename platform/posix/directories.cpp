// The current directory: searching it, entering another one, and its path.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>

#include "platform/name_match.h"
#include "platform/platform.h"

namespace platform {

int findNames(NamePattern pattern, std::span<NameSlot> out) {
    DIR* dir = ::opendir(".");
    if (dir == nullptr) return -1;
    // readdir delivers names in the file system's hash order; the collector keeps the first
    // names in the stable order users number their tracks by, in fixed memory.
    NameCollector collector(pattern, out);
    while (const dirent* entry = ::readdir(dir)) collector.offer(entry->d_name);
    ::closedir(dir);
    return collector.finish();
}

bool enterDirectory(const char* path) { return ::chdir(path) == 0; }

std::string currentDirectory() {
    std::string path(256, '\0');
    for (;;) {
        if (::getcwd(path.data(), path.size()) != nullptr) {
            path.resize(path.find('\0'));
            return path;
        }
        if (errno != ERANGE) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
