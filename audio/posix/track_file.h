// Opening a track's file: the path is opened once, without blocking, and what was opened is
// checked before any decoder reads it. A FIFO, a device or a directory put in a track's place
// can then never hold the player up.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>

namespace sound {

// Which file, in which state: equal identities mean the same unchanged file. The change time is
// the one a rewrite can't set back (touch -r restores the modification time, not it).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const FileIdentity& other) const;
};

// An open, readable regular file; owns its descriptor.
class TrackFile {
public:
    TrackFile(int fd, const FileIdentity& identity) : fd_(fd), identity_(identity) {}
    TrackFile(TrackFile&& other) noexcept : fd_(other.release()), identity_(other.identity_) {}
    TrackFile& operator=(TrackFile&&) = delete;
    TrackFile(const TrackFile&) = delete;
    ~TrackFile();

    int fd() const { return fd_; }
    const FileIdentity& identity() const { return identity_; }
    // Hands the descriptor over to its new owner.
    int release();

private:
    int fd_;
    FileIdentity identity_;
};

// Empty when path can't be opened for reading or is not a regular file.
std::optional<TrackFile> openTrackFile(const char* path);

}  // namespace sound
