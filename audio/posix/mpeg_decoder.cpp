// MPEG audio files through libmpg123.
#include <mpg123.h>

#include <cstdio>

#include "audio/posix/decoder.h"

namespace sound {
namespace {

// After a seek the decoder first runs through this many earlier frames, unheard. A frame's data
// may start up to 511 bytes back (255 for MPEG-2) in the frames before it; with the smallest
// frames that reaches some 24 frames back, and anything less gives a stretch of silence in place
// of the music after a seek.
constexpr long kFramesBeforeSeekTarget = 32;
// The file is read through a buffer of this size: the length scan looks at every frame header,
// and reading each one from the system would make a track change wait for thousands of calls.
constexpr std::size_t kReadBuffer = std::size_t{64} * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

ssize_t readFile(void* file, void* out, std::size_t bytes) {
    auto* f = static_cast<std::FILE*>(file);
    std::size_t got = std::fread(out, 1, bytes, f);
    return got == 0 && std::ferror(f) ? -1 : static_cast<ssize_t>(got);
}

off_t seekFile(void* file, off_t offset, int whence) {
    auto* f = static_cast<std::FILE*>(file);
    return fseeko(f, offset, whence) == 0 ? ftello(f) : -1;
}

class MpegDecoder final : public Decoder {
public:
    MpegDecoder(File file, Handle handle, int rate, int channels, std::int64_t length)
        : file_(std::move(file)),
          handle_(std::move(handle)),
          rate_(rate),
          channels_(channels),
          length_(length) {}

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    std::int64_t lengthFrames() const override { return length_; }

    bool seek(std::int64_t frame) override {
        return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

    std::size_t read(float* out, std::size_t frames) override {
        std::size_t bytes = 0;
        int result = mpg123_read(handle_.get(), out, frames * frameBytes(), &bytes);
        // A format change in mid-stream keeps the forced float output; only errors end the file.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT && result != MPG123_DONE) return 0;
        return bytes / frameBytes();
    }

private:
    std::size_t frameBytes() const { return static_cast<std::size_t>(channels_) * sizeof(float); }

    File file_;  // outlives the decoder handle, which reads from it
    Handle handle_;
    int rate_;
    int channels_;
    std::int64_t length_;
};

Handle newQuietHandle() {
    // Needed by libmpg123 before 1.27, harmless after.
    static const bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised) return nullptr;
    Handle handle(mpg123_new(nullptr, nullptr));
    if (!handle) return nullptr;
    mpg123_handle* h = handle.get();
    // Quiet: nothing from the decoder may reach the console. Gapless: the encoder's padding is
    // not part of the track, so lengths and positions are those of the music.
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0) != MPG123_OK) return nullptr;
    if (mpg123_param(h, MPG123_PREFRAMES, kFramesBeforeSeekTarget, 0.0) != MPG123_OK) return nullptr;
    if (mpg123_replace_reader_handle(h, readFile, seekFile, nullptr) != MPG123_OK) return nullptr;
    // Float output at whatever rate and channel count the file has; conversion is the output's job.
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t k = 0; k < rateCount; ++k)
        mpg123_format(h, rates[k], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    return handle;
}

}  // namespace

std::unique_ptr<Decoder> openMpegFile(const char* path) {
    File file(std::fopen(path, "rbe"));
    if (!file || std::setvbuf(file.get(), nullptr, _IOFBF, kReadBuffer) != 0) return nullptr;
    Handle handle = newQuietHandle();
    if (!handle) return nullptr;
    mpg123_handle* h = handle.get();
    if (mpg123_open_handle(h, file.get()) != MPG123_OK) return nullptr;
    // A scan through every frame makes the length exact where headers can only estimate it (VBR
    // without a Xing header, a cut-off file) and builds the index for sample-exact seeks.
    if (mpg123_scan(h) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    std::int64_t length = mpg123_length(h);
    if (length <= 0 || rate <= 0 || channels <= 0) return nullptr;
    return std::make_unique<MpegDecoder>(std::move(file), std::move(handle), static_cast<int>(rate), channels,
                                         length);
}

}  // namespace sound
