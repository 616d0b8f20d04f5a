#include "platform/posix/cover_art.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>

namespace platform::bus {
namespace {

// The pictures of a run are named for its process, so that two players never share one and a run
// that was killed leaves pictures another run can tell are no one's.
constexpr std::string_view kPicturePrefix = "quavelin-cover-";

// Where pictures are written: the user's runtime directory, or else the cache directory.
std::string pictureDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/')
        return runtime;
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        cache = std::string(home) + "/.cache";
    else
        return "";
    ::mkdir(cache.c_str(), 0700);
    ::mkdir((cache + "/quavelin").c_str(), 0700);
    return cache + "/quavelin";
}

std::string lowerCase(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

struct CloseDirectory {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Directory = std::unique_ptr<DIR, CloseDirectory>;

// Removes the pictures that runs no longer running left behind (a run ended by a signal).
void removeAbandoned(const std::string& directory) {
    Directory dir(::opendir(directory.c_str()));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (!name.starts_with(kPicturePrefix)) continue;
        long pid = std::strtol(entry->d_name + kPicturePrefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlink((directory + "/" + entry->d_name).c_str());
    }
}

// Writes bytes to a new file that only the user can read; its path, or empty when it can't.
std::string writePicture(const std::string& bytes, const std::string& mime, unsigned number) {
    static const std::string directory = [] {
        std::string found = pictureDirectory();
        if (!found.empty()) removeAbandoned(found);
        return found;
    }();
    if (directory.empty()) return "";
    std::string extension = mime == "image/png" ? ".png" : mime == "image/gif" ? ".gif" : ".jpg";
    std::string path = directory + "/" + std::string(kPicturePrefix) + std::to_string(::getpid()) + "-" +
                       std::to_string(number) + extension;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return "";
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
    if (done == bytes.size()) return path;
    ::unlink(path.c_str());
    return "";
}

// A cover picture beside the tracks, in any case: the first of these names that the directory holds.
constexpr std::array<std::string_view, 6> kCoverNames{"cover.jpg", "folder.jpg", "front.jpg",
                                                      "cover.png", "folder.png", "front.png"};

std::string coverBeside(const std::string& directory) {
    Directory dir(::opendir(directory.c_str()));
    if (!dir) return "";
    std::map<std::string, std::string, std::less<>> held;  // the names of covers, in lower case
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string lower = lowerCase(entry->d_name);
        if (std::find(kCoverNames.begin(), kCoverNames.end(), lower) != kCoverNames.end())
            held.emplace(lower, entry->d_name);
    }
    for (std::string_view name : kCoverNames)
        if (auto found = held.find(name); found != held.end()) return directory + "/" + found->second;
    return "";
}

}  // namespace

CoverArt::~CoverArt() {
    if (!written_.empty()) ::unlink(written_.c_str());
}

std::string CoverArt::coverOf(const std::string& trackPath, const TrackTags& tags) {
    if (!written_.empty()) ::unlink(written_.c_str());
    written_.clear();
    if (!tags.picture.empty()) {
        written_ = writePicture(tags.picture, tags.pictureMime, ++pictures_);
        if (!written_.empty()) return written_;
    }
    // The directory is looked through again only once it has changed.
    std::string directory = trackPath.substr(0, trackPath.rfind('/'));
    struct stat now {};
    if (::stat(directory.c_str(), &now) != 0) return "";
    if (directory != directory_ || now.st_mtim.tv_sec != changed_.tv_sec ||
        now.st_mtim.tv_nsec != changed_.tv_nsec) {
        directory_ = directory;
        changed_ = now.st_mtim;
        found_ = coverBeside(directory);
    }
    return found_;
}

}  // namespace platform::bus
