#include "audio/posix/track_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sound {

bool FileIdentity::operator==(const FileIdentity& other) const {
    auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == other.device && inode == other.inode && size == other.size &&
           same(modified, other.modified) && same(changed, other.changed);
}

TrackFile::~TrackFile() {
    if (fd_ >= 0) ::close(fd_);
}

int TrackFile::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

std::optional<TrackFile> openTrackFile(const char* path) {
    // Without O_NONBLOCK the open of a FIFO would wait for a writer, for ever.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return TrackFile(fd, FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim});
}

}  // namespace sound
