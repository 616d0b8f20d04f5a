// The scan of an MPEG audio file: every frame header read, on a thread of its own, while the file
// already plays. It finds what the first frames can only estimate: the exact length (a file without a
// Xing header, VBR or cut short, or one whose rate changes midway), the frame index that lets a seek
// jump close to its target, and the runs of frames at one rate. Held up for it, the first sound of a
// large file waited some 500 ms a gigabyte.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/posix/track_file.h"

namespace sound {

// A run of frames at one rate. libmpg123 counts a file's samples as if every frame had the rate
// of the frame it decodes at the moment, so where the rate changes, lengths and seek targets
// come from these instead.
struct RatePart {
    off_t firstFrame;
    std::int64_t firstOutputFrame;  // at the output's rate
    long rate;
    int samplesPerFrame;
};

// Numbers the parts' first output frames at outputRate.
void countOutputFrames(std::vector<RatePart>& parts, long outputRate);

// What a scan has found so far, frames numbered as libmpg123 seeks to them.
struct ScanFindings {
    std::vector<off_t> index;  // the offset of every step-th frame
    off_t step = 1;
    std::vector<RatePart> parts;  // the runs of one rate among the frames scanned
    bool done = false;            // the whole file is scanned
};

// One file's scan, as its decoders see it while it runs and after.
class FileScan {
public:
    // estimateMs: the length that the file's first frames give (their Xing header, or their bitrate).
    explicit FileScan(std::int64_t estimateMs) : estimateMs_(estimateMs), lengthMs_(estimateMs) {}

    // The estimate, or as much as is scanned where that is more, until the scan is done; then the
    // exact length. Any thread.
    std::int64_t lengthMs() const { return lengthMs_.load(std::memory_order_acquire); }
    bool lengthIsExact() const { return exact_.load(std::memory_order_acquire); }
    // Returns once the scan has passed ms of the file, or has ended; at most a couple of seconds
    // (a file on a slow disk: the seek then reads its own way there).
    void awaitScannedTo(std::int64_t ms) const;
    ScanFindings findings() const;

    // The scan's own side. What it has found, and how many milliseconds of the file that covers (once
    // done, the exact length).
    void report(ScanFindings found, std::int64_t scannedMs);
    // No decoder needs it any more: it stops at its next report.
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    const std::int64_t estimateMs_;
    std::atomic<std::int64_t> lengthMs_;
    std::atomic<bool> exact_{false};
    std::atomic<bool> cancelled_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable reported_;
    ScanFindings findings_;       // under mutex_
    std::int64_t scannedMs_ = 0;  // under mutex_
};

// The scan of the file open on fd, whose libmpg123 handle has these flags: the one of the same unchanged
// file where one of the last few files opened had it (a seek opens its file again, a file may follow
// itself, a withdrawn file may be picked), so that no file is scanned twice; otherwise a new one on a
// thread of its own, reading through a descriptor of its own. Called on the thread that opens files.
std::shared_ptr<const FileScan> scanFile(int fd, const FileIdentity& identity, long flags,
                                         std::int64_t estimateMs);

}  // namespace sound
