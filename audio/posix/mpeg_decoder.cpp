// MPEG audio files through libmpg123, decoded at each frame's own rate and channel count and
// brought to the output format by the rate converter, so that a file whose format changes midway
// plays right.
#include <mpg123.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "audio/posix/decoder.h"
#include "audio/posix/mpeg_scan.h"
#include "audio/posix/output_format.h"
#include "audio/posix/rate_converter.h"

namespace sound {
namespace {

// After a seek the decoder first runs through this many earlier frames, unheard. A frame's data
// may start up to 511 bytes back (255 for MPEG-2) in the frames before it; with the smallest
// frames that reaches some 24 frames back, and anything less gives a stretch of silence in place
// of the music after a seek.
constexpr long kFramesBeforeSeekTarget = 32;
// The file is read through a buffer of this size: decoding asks for a frame's bytes at a time.
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

// Native frames decoded at a time: a few MPEG frames' worth.
constexpr std::size_t kNativeFrames = 4096;

class MpegDecoder final : public Decoder {
public:
    // rate and channels are the first frame's: libmpg123 tells a format once, and the open
    // already asked for it.
    MpegDecoder(File file, Handle handle, std::shared_ptr<const FileScan> scan, long rate, int channels)
        : file_(std::move(file)),
          handle_(std::move(handle)),
          scan_(std::move(scan)),
          rate_(rate),
          native_(kNativeFrames * kChannels),
          formatRate_(rate),
          channels_(channels) {}

    // False when no converter can be made for the first frame's format.
    bool ready() { return converter_.setFormat(rate_, channels_, converted_); }

    std::int64_t lengthMs() const override { return scan_->lengthMs(); }
    bool lengthIsExact() const override { return scan_->lengthIsExact(); }
    void awaitScannedTo(std::int64_t ms) const override { scan_->awaitScannedTo(ms); }

    void setOutputRate(long rate) override {
        outputRate_ = rate;
        countOutputFrames(parts_, rate);
        converter_.setOutputRate(rate);
    }

    void continueInto(Decoder* next) override { next_ = dynamic_cast<MpegDecoder*>(next); }

    bool seek(std::int64_t frame) override {
        inherited_.reset();
        skip_ = 0;
        converted_.clear();
        served_ = 0;
        converter_.clear();
        ended_ = false;
        takeFindings();
        if (parts_.empty())
            return mpg123_seek(handle_.get(), static_cast<off_t>(frame * rate_ / outputRate_), SEEK_SET) >= 0;
        auto part = std::prev(
            std::upper_bound(parts_.begin(), parts_.end(), frame,
                             [](std::int64_t f, const RatePart& p) { return f < p.firstOutputFrame; }));
        std::int64_t samples = (frame - part->firstOutputFrame) * part->rate / outputRate_;
        std::int64_t whole = samples / part->samplesPerFrame;
        if (mpg123_seek_frame(handle_.get(), part->firstFrame + static_cast<off_t>(whole), SEEK_SET) < 0)
            return false;
        skip_ = samples - whole * part->samplesPerFrame;
        return true;
    }

    std::size_t read(float* out, std::size_t frames) override {
        std::size_t written = 0;
        while (written < frames) {
            if (served_ == converted_.size()) {
                converted_.clear();
                served_ = 0;
                if (!convertMore()) break;
                continue;
            }
            std::size_t n = std::min(frames - written, (converted_.size() - served_) / kChannels);
            std::copy_n(converted_.begin() + static_cast<std::ptrdiff_t>(served_), n * kChannels,
                        out + written * kChannels);
            served_ += n * kChannels;
            written += n;
        }
        return written;
    }

private:
    // What the scan has found as far as it has come: the frame index, so that libmpg123 jumps close
    // to a target instead of reading its way there, and the runs of one rate. Taken for good once it
    // has found everything.
    void takeFindings() {
        if (tookAll_) return;
        ScanFindings found = scan_->findings();
        off_t* offsets = nullptr;
        off_t step = 0;
        std::size_t fill = 0;
        // Where the decoder has read further than the scan, its own index reaches further.
        if (!found.index.empty() &&
            (mpg123_index(handle_.get(), &offsets, &step, &fill) != MPG123_OK ||
             static_cast<off_t>(found.index.size()) * found.step > static_cast<off_t>(fill) * step))
            mpg123_set_index(handle_.get(), found.index.data(), found.step, found.index.size());
        parts_ = found.parts.size() > 1 ? std::move(found.parts) : std::vector<RatePart>{};
        countOutputFrames(parts_, outputRate_);
        tookAll_ = found.done;
    }

    // The decoder before this one has reached its end: its conversion goes on here.
    void inherit(RateConverter&& converter) { inherited_ = std::move(converter); }

    // Decodes the next stretch of the file into converted_; false at its end.
    bool convertMore() {
        if (inherited_) {
            // What the stream before held comes out first, in its format where this one's differs.
            converter_ = std::move(*inherited_);
            inherited_.reset();
            if (!converter_.setFormat(formatRate_, channels_, converted_)) ended_ = true;
        }
        while (!ended_ && converted_.empty()) {
            std::size_t bytes = 0;
            int result = mpg123_read(handle_.get(), native_.data(), native_.size() * sizeof(float), &bytes);
            // What comes with a format change is still in the format before it, and the last of
            // the file may come with its end.
            const auto channels = static_cast<std::size_t>(channels_);
            const std::size_t got = bytes / (sizeof(float) * channels);
            const auto dropped = std::min(static_cast<std::size_t>(skip_), got);  // a seek's rest
            skip_ -= static_cast<std::int64_t>(dropped);
            if (got > dropped)
                converter_.convert(native_.data() + dropped * channels, got - dropped, converted_);
            if (result == MPG123_NEW_FORMAT && !takeFormat()) {
                converted_.clear();
                ended_ = true;
            } else if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
                // The end of the file, or an error that stops decoding: what the converter holds
                // is the last of the sound, or goes on into the file that follows.
                endStream();
                ended_ = true;
            }
        }
        return !converted_.empty();
    }

    void endStream() {
        if (next_ == nullptr) {
            converter_.drain(converted_);
            return;
        }
        next_->inherit(std::move(converter_));
        // Its own for a seek back into it.
        converter_ = RateConverter();
        std::vector<float> none;
        converter_.setOutputRate(outputRate_);
        converter_.setFormat(formatRate_, channels_, none);
    }

    bool takeFormat() {
        int encoding = 0;
        if (mpg123_getformat(handle_.get(), &formatRate_, &channels_, &encoding) != MPG123_OK) return false;
        return converter_.setFormat(formatRate_, channels_, converted_);
    }

    File file_;  // outlives the decoder handle, which reads from it
    Handle handle_;
    std::shared_ptr<const FileScan> scan_;
    bool tookAll_ = false;  // the scan's findings are all in handle_ and parts_
    long rate_;             // the first frame's, which is every frame's while parts_ is empty
    long outputRate_ = kDefaultRate;
    std::vector<RatePart> parts_;  // empty while the file has one rate, as far as it is scanned
    std::int64_t skip_ = 0;        // native frames still to drop after a seek
    std::vector<float> native_;    // as decoded
    long formatRate_;              // of what is decoded now
    int channels_ = 2;             // of what is decoded now
    RateConverter converter_;
    std::optional<RateConverter> inherited_;  // the conversion of the file before, to go on with
    MpegDecoder* next_ = nullptr;             // whose file follows this one's
    std::vector<float> converted_;            // in the output format, from served_ on still to be read
    std::size_t served_ = 0;
    bool ended_ = false;
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
    // ID3v2 tags are skipped unread: the player uses none, and a tag may be hundreds of megabytes.
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2, 0.0) !=
        MPG123_OK)
        return nullptr;
    if (mpg123_param(h, MPG123_PREFRAMES, kFramesBeforeSeekTarget, 0.0) != MPG123_OK) return nullptr;
    if (mpg123_replace_reader_handle(h, readFile, seekFile, nullptr) != MPG123_OK) return nullptr;
    // Float samples at every rate the decoder knows, as the frames have them: converting is the
    // rate converter's job, since libmpg123's own drops and repeats samples.
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t k = 0; k < count; ++k)
        if (mpg123_format(h, rates[k], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK)
            return nullptr;
    return handle;
}

// The largest counts of frames and of bytes that an info frame (Xing or Info) near the start of the
// file claims, 0 where none does. The tag is looked for in the bytes themselves, past an ID3v2 tag
// and as far as the decoder's own search for a first frame reaches, so that a damaged first frame
// can't hide it.
struct InfoClaims {
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
};
InfoClaims infoClaims(std::FILE* file) {
    constexpr std::size_t kSearched = 8192;
    std::array<unsigned char, 10> id3{};
    off_t start = 0;
    if (std::fread(id3.data(), 1, id3.size(), file) == id3.size() &&
        std::equal(id3.begin(), id3.begin() + 3, "ID3"))
        start = 10 + ((off_t{id3[6]} & 0x7f) << 21 | (off_t{id3[7]} & 0x7f) << 14 |
                      (off_t{id3[8]} & 0x7f) << 7 | (off_t{id3[9]} & 0x7f));
    std::vector<unsigned char> head(kSearched);
    std::size_t got = fseeko(file, start, SEEK_SET) == 0 ? std::fread(head.data(), 1, head.size(), file) : 0;
    InfoClaims claims;
    for (std::size_t at = 0; at + 16 <= got; ++at) {
        const unsigned char* tag = head.data() + at;
        if (!std::equal(tag, tag + 4, "Xing") && !std::equal(tag, tag + 4, "Info")) continue;
        auto word = [](const unsigned char* b) {
            return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
        };
        // The flags say which counts follow: the frames first, then the bytes.
        const std::uint32_t flags = word(tag + 4);
        const unsigned char* count = tag + 8;
        if ((flags & 1u) != 0) {
            claims.frames = std::max(claims.frames, word(count));
            count += 4;
        }
        if ((flags & 2u) != 0) claims.bytes = std::max(claims.bytes, word(count));
    }
    if (fseeko(file, 0, SEEK_SET) != 0) return {};
    return claims;
}

}  // namespace

std::unique_ptr<Decoder> openMpegFile(TrackFile trackFile) {
    const FileIdentity identity = trackFile.identity();
    File file(::fdopen(trackFile.fd(), "rb"));
    if (!file) return nullptr;
    const int fd = trackFile.release();
    if (std::setvbuf(file.get(), nullptr, _IOFBF, kReadBuffer) != 0) return nullptr;
    Handle handle = newQuietHandle();
    if (!handle) return nullptr;
    mpg123_handle* h = handle.get();
    // An info frame is believed only as far as it fits the file. One that counts more frames than
    // the file could hold (no MPEG audio frame is shorter than 16 bytes) is passed over: libmpg123
    // would take the claim as the length, and may count the claimed frames' output one by one,
    // which for billions of frames holds the open for a minute. One that counts more bytes than the
    // file has is a file cut short: the encoder's delay and padding it tells no longer frame the
    // music, and every sample plays, as libmpg123 itself decides once a scan finds frames missing.
    constexpr off_t kShortestFrameBytes = 16;
    const InfoClaims claims = infoClaims(file.get());
    if (off_t{claims.frames} > identity.size / kShortestFrameBytes) {
        if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0) != MPG123_OK) return nullptr;
    } else if (off_t{claims.bytes} > identity.size) {
        if (mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0) != MPG123_OK) return nullptr;
    }
    if (mpg123_open_handle(h, file.get()) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0) return nullptr;
    // The first sound waits for nothing more: the length is the info frame's count, or the
    // bitrate's estimate, until the scan has read every frame.
    const std::int64_t estimateMs = std::int64_t{mpg123_length(h)} * 1000 / rate;
    long flags = 0;
    double ignored = 0;
    if (estimateMs <= 0 || mpg123_getparam(h, MPG123_FLAGS, &flags, &ignored) != MPG123_OK) return nullptr;
    auto decoder = std::make_unique<MpegDecoder>(std::move(file), std::move(handle),
                                                 scanFile(fd, identity, flags, estimateMs), rate, channels);
    if (!decoder->ready()) return nullptr;
    return decoder;
}

}  // namespace sound
