#include "audio/posix/mpeg_scan.h"

#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <system_error>
#include <thread>
#include <utility>

namespace sound {
namespace {

// The scan hands over what it has found every this many frames (some 26 s of sound at 44.1 kHz, a
// few milliseconds of scanning): a seek waits for the scan to pass its target and hardly longer,
// and a scan that no decoder needs any more stops that soon.
constexpr long kFramesPerReport = 1024;
// The longest a seek waits for the scan to reach its target.
constexpr auto kLongestWait = std::chrono::seconds(2);
// The file is read in pieces of this size: a header at a time from the system would take a
// million calls a gigabyte.
constexpr std::size_t kReadBuffer = std::size_t{64} * 1024;
// How many of the files opened last keep their scans (a few kilobytes each once done): the open
// file, the one queued after it, and the ones closed last all find theirs.
constexpr std::size_t kKeptScans = 4;

// The scan's own reading of the file, through its own descriptor, at positions it keeps itself:
// the descriptor's offset is shared with the decoder's, which moves it.
class PositionedReader {
public:
    PositionedReader(int fd, off_t size) : fd_(fd), size_(size), buffer_(kReadBuffer) {}
    ~PositionedReader() { ::close(fd_); }
    PositionedReader(const PositionedReader&) = delete;
    PositionedReader& operator=(const PositionedReader&) = delete;

    ssize_t read(void* out, std::size_t bytes) {
        if (at_ < bufferAt_ || at_ >= bufferAt_ + static_cast<off_t>(filled_)) {
            ssize_t got = 0;
            do {
                got = ::pread(fd_, buffer_.data(), buffer_.size(), at_);
            } while (got < 0 && errno == EINTR);
            if (got <= 0) return got;
            bufferAt_ = at_;
            filled_ = static_cast<std::size_t>(got);
        }
        const auto offset = static_cast<std::size_t>(at_ - bufferAt_);
        const std::size_t n = std::min(bytes, filled_ - offset);
        std::memcpy(out, buffer_.data() + offset, n);
        at_ += static_cast<off_t>(n);
        return static_cast<ssize_t>(n);
    }

    off_t seek(off_t offset, int whence) {
        const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? at_ : size_;
        if (base + offset < 0) return -1;
        return at_ = base + offset;
    }

private:
    int fd_;
    off_t size_;
    off_t at_ = 0;
    std::vector<unsigned char> buffer_;
    off_t bufferAt_ = 0;
    std::size_t filled_ = 0;
};

// Samples per frame and channel for an mpg123_version (0: MPEG 1, 1: MPEG 2, 2: MPEG 2.5) and layer.
int samplesPerFrame(int version, int layer) {
    if (layer == 1) return 384;
    if (layer == 3 && version != 0) return 576;
    return 1152;
}

ssize_t readAt(void* reader, void* out, std::size_t bytes) {
    return static_cast<PositionedReader*>(reader)->read(out, bytes);
}
off_t seekTo(void* reader, off_t offset, int whence) {
    return static_cast<PositionedReader*>(reader)->seek(offset, whence);
}

// The milliseconds of the parts' frames, the last of them `last`.
std::int64_t msOf(const std::vector<RatePart>& parts, off_t last) {
    std::int64_t ms = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const off_t end = k + 1 < parts.size() ? parts[k + 1].firstFrame : last + 1;
        ms += (end - parts[k].firstFrame) * parts[k].samplesPerFrame * 1000 / parts[k].rate;
    }
    return ms;
}

ScanFindings findingsOf(mpg123_handle* h, const std::vector<RatePart>& parts, bool done) {
    ScanFindings found;
    found.parts = parts;
    found.done = done;
    off_t* offsets = nullptr;
    off_t step = 0;
    std::size_t fill = 0;
    if (mpg123_index(h, &offsets, &step, &fill) == MPG123_OK && fill > 0 && step > 0) {
        found.index.assign(offsets, offsets + fill);
        found.step = step;
    }
    return found;
}

// Reads every frame's header from the file's start (nothing is decoded), reporting as it goes; the
// runs of one rate are counted frame by frame. Where the file has one rate and is read to its end,
// the length is libmpg123's own count, which leaves out the encoder's delay and padding as the
// decoder does; otherwise it is the parts' frames.
void scanFrames(const std::shared_ptr<FileScan>& scan, int fd, off_t size, long flags) {
    PositionedReader reader(fd, size);
    const std::unique_ptr<mpg123_handle, decltype(&mpg123_delete)> handle(mpg123_new(nullptr, nullptr),
                                                                          mpg123_delete);
    mpg123_handle* h = handle.get();
    std::vector<RatePart> parts;
    off_t last = -1;
    int result = MPG123_ERR;
    if (h != nullptr && mpg123_param(h, MPG123_FLAGS, flags, 0.0) == MPG123_OK &&
        mpg123_replace_reader_handle(h, readAt, seekTo, nullptr) == MPG123_OK &&
        mpg123_open_handle(h, &reader) == MPG123_OK) {
        for (long n = 0;; ++n) {
            if (n % kFramesPerReport == 0) {
                if (scan->cancelled()) return;
                scan->report(findingsOf(h, parts, false), msOf(parts, last));
            }
            result = mpg123_framebyframe_next(h);
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
            mpg123_frameinfo info{};
            if (mpg123_info(h, &info) != MPG123_OK || info.rate <= 0) break;
            const off_t frame = mpg123_tellframe(h);
            const int samples = samplesPerFrame(info.version, info.layer);
            if (parts.empty() || parts.back().rate != info.rate || parts.back().samplesPerFrame != samples)
                parts.push_back({parts.empty() ? 0 : frame, 0, info.rate, samples});
            last = frame;
        }
    }
    std::int64_t lengthMs = msOf(parts, last);
    if (const off_t samples = h != nullptr ? mpg123_length(h) : -1;
        result == MPG123_DONE && parts.size() == 1 && samples >= 0)
        lengthMs = std::int64_t{samples} * 1000 / parts.front().rate;
    // A file that could not be read at all keeps its estimate: there is nothing better to be had.
    if (parts.empty()) lengthMs = scan->lengthMs();
    scan->report(findingsOf(h, parts, true), lengthMs);
}

struct KeptScan {
    FileIdentity identity;
    std::shared_ptr<const FileScan> scan;
};

// Newest first. Never destroyed: the process may end while a scan runs (see service.cpp).
std::deque<KeptScan>& keptScans() {
    static auto* const kept = new std::deque<KeptScan>();
    return *kept;
}

}  // namespace

void countOutputFrames(std::vector<RatePart>& parts, long outputRate) {
    std::int64_t outputFrames = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        parts[k].firstOutputFrame = outputFrames;
        if (k + 1 < parts.size())
            outputFrames += (parts[k + 1].firstFrame - parts[k].firstFrame) * parts[k].samplesPerFrame *
                            outputRate / parts[k].rate;
    }
}

void FileScan::awaitScannedTo(std::int64_t ms) const {
    std::unique_lock lock(mutex_);
    reported_.wait_for(lock, kLongestWait, [&] { return findings_.done || scannedMs_ > ms; });
}

ScanFindings FileScan::findings() const {
    std::lock_guard lock(mutex_);
    return findings_;
}

void FileScan::report(ScanFindings found, std::int64_t scannedMs) {
    {
        std::lock_guard lock(mutex_);
        const bool done = found.done;
        findings_ = std::move(found);
        scannedMs_ = scannedMs;
        lengthMs_.store(done ? scannedMs : std::max(estimateMs_, scannedMs), std::memory_order_release);
        exact_.store(done, std::memory_order_release);
    }
    reported_.notify_all();
}

std::shared_ptr<const FileScan> scanFile(int fd, const FileIdentity& identity, long flags,
                                         std::int64_t estimateMs) {
    std::deque<KeptScan>& kept = keptScans();
    auto same = std::ranges::find(kept, identity, &KeptScan::identity);
    if (same != kept.end()) {
        KeptScan found = std::move(*same);
        kept.erase(same);
        kept.push_front(std::move(found));
        return kept.front().scan;
    }
    auto scan = std::make_shared<FileScan>(estimateMs);
    // The decoders' share: once they and the list of kept scans have all let it go, the scan stops.
    std::shared_ptr<const FileScan> shared(scan.get(), [scan](const FileScan*) { scan->cancel(); });
    kept.push_front({identity, shared});
    if (kept.size() > kKeptScans) kept.pop_back();
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        ScanFindings none;
        none.done = true;
        scan->report(std::move(none), estimateMs);  // no descriptor to be had: the estimate stands
        return shared;
    }
    try {
        std::thread(scanFrames, scan, own, identity.size, flags).detach();
    } catch (const std::system_error&) {
        scanFrames(scan, own, identity.size, flags);  // no thread to be had: scan now
    }
    return shared;
}

}  // namespace sound
