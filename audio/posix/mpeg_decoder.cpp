// MPEG audio files through libmpg123, decoded at each frame's own rate and channel count and
// brought to the output format by the rate converter, so that a file whose format changes midway
// plays right.
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "audio/posix/decoder.h"
#include "audio/posix/mpeg_header.h"
#include "audio/posix/output_format.h"
#include "audio/posix/rate_converter.h"

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
void countOutputFrames(std::vector<RatePart>& parts, long outputRate) {
    std::int64_t outputFrames = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        parts[k].firstOutputFrame = outputFrames;
        if (k + 1 < parts.size())
            outputFrames += (parts[k + 1].firstFrame - parts[k].firstFrame) * parts[k].samplesPerFrame *
                            outputRate / parts[k].rate;
    }
}

// Native frames decoded at a time: a few MPEG frames' worth.
constexpr std::size_t kNativeFrames = 4096;

class MpegDecoder final : public Decoder {
public:
    // rate and channels are the first frame's: libmpg123 tells a format once, and the open
    // already asked for it.
    MpegDecoder(File file, Handle handle, std::int64_t lengthMs, long rate, int channels,
                std::vector<RatePart> parts)
        : file_(std::move(file)),
          handle_(std::move(handle)),
          lengthMs_(lengthMs),
          rate_(rate),
          parts_(std::move(parts)),
          native_(kNativeFrames * kChannels),
          formatRate_(rate),
          channels_(channels) {}

    // False when no converter can be made for the first frame's format.
    bool ready() { return converter_.setFormat(rate_, channels_, converted_); }

    std::int64_t lengthMs() const override { return lengthMs_; }

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
    std::int64_t lengthMs_;
    long rate_;  // the first frame's, which is every frame's while parts_ is empty
    long outputRate_ = kDefaultRate;
    std::vector<RatePart> parts_;  // empty while the whole file has one rate
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

// Whether an info frame (Xing or Info) near the start of the file counts more frames than its
// size could hold: no MPEG audio frame is shorter than this many bytes. libmpg123 would take the
// claim as the length, and may count the claimed frames' output one by one, which for billions of
// frames holds the open for a minute. The tag is looked for in the bytes themselves, past an ID3v2 tag and as
// far as the decoder's own search for a first frame reaches, so that a damaged first frame can't hide it.
bool claimsMoreFramesThanFit(std::FILE* file, off_t fileSize) {
    constexpr off_t kShortestFrameBytes = 16;
    constexpr std::size_t kSearched = 8192;
    std::array<unsigned char, 10> id3{};
    off_t start = 0;
    if (std::fread(id3.data(), 1, id3.size(), file) == id3.size() &&
        std::equal(id3.begin(), id3.begin() + 3, "ID3"))
        start = 10 + ((off_t{id3[6]} & 0x7f) << 21 | (off_t{id3[7]} & 0x7f) << 14 |
                      (off_t{id3[8]} & 0x7f) << 7 | (off_t{id3[9]} & 0x7f));
    std::vector<unsigned char> head(kSearched);
    std::size_t got = fseeko(file, start, SEEK_SET) == 0 ? std::fread(head.data(), 1, head.size(), file) : 0;
    bool claims = false;
    for (std::size_t at = 0; at + 12 <= got && !claims; ++at) {
        const unsigned char* tag = head.data() + at;
        if (!std::equal(tag, tag + 4, "Xing") && !std::equal(tag, tag + 4, "Info")) continue;
        auto word = [](const unsigned char* b) {
            return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
        };
        bool countsFrames = (word(tag + 4) & 1u) != 0;
        claims = countsFrames && off_t{word(tag + 8)} > fileSize / kShortestFrameBytes;
    }
    return fseeko(file, 0, SEEK_SET) == 0 && claims;
}

// Whether the frames at the index's entries all have the first one's rate: a header read at
// each, without decoding.
bool hasOneRate(mpg123_handle* h, int fd) {
    off_t* offsets = nullptr;
    off_t step = 0;
    std::size_t fill = 0;
    if (mpg123_index(h, &offsets, &step, &fill) != MPG123_OK) return true;
    long first = 0;
    for (std::size_t k = 0; k < fill; ++k) {
        std::array<unsigned char, 4> header{};
        if (::pread(fd, header.data(), header.size(), offsets[k]) != 4) continue;
        long rate = mpegHeaderRate(header);
        if (rate == 0) continue;
        if (first == 0) first = rate;
        if (rate != first) return false;
    }
    return true;
}

// Every frame's rate, read frame by frame from the file's start (headers only, nothing decoded),
// as runs of one rate, with frames numbered as libmpg123 seeks to them; lengthMs is their sum.
std::vector<RatePart> rateParts(std::FILE* file, long flags, std::int64_t& lengthMs) {
    Handle probe(mpg123_new(nullptr, nullptr));
    if (!probe || mpg123_param(probe.get(), MPG123_ADD_FLAGS, flags, 0.0) != MPG123_OK ||
        mpg123_replace_reader_handle(probe.get(), readFile, seekFile, nullptr) != MPG123_OK ||
        mpg123_open_handle(probe.get(), file) != MPG123_OK)
        return {};
    mpg123_handle* h = probe.get();
    std::vector<RatePart> parts;
    off_t last = 0;
    lengthMs = 0;
    auto endPart = [&] {
        const RatePart& p = parts.back();
        lengthMs += (last + 1 - p.firstFrame) * p.samplesPerFrame * 1000 / p.rate;
    };
    for (;;) {
        int result = mpg123_framebyframe_next(h);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
        mpg123_frameinfo info{};
        if (mpg123_info(h, &info) != MPG123_OK || info.rate <= 0) break;
        off_t frame = mpg123_tellframe(h);
        int samples = mpegSamplesPerFrame(info.version, info.layer);
        if (parts.empty() || parts.back().rate != info.rate || parts.back().samplesPerFrame != samples) {
            if (!parts.empty()) endPart();
            parts.push_back({parts.empty() ? 0 : frame, 0, info.rate, samples});
        }
        last = frame;
    }
    if (!parts.empty()) endPart();
    countOutputFrames(parts, kDefaultRate);
    return parts;
}

}  // namespace

std::unique_ptr<Decoder> openMpegFile(TrackFile trackFile) {
    File file(::fdopen(trackFile.fd(), "rb"));
    if (!file) return nullptr;
    int fd = trackFile.release();
    if (std::setvbuf(file.get(), nullptr, _IOFBF, kReadBuffer) != 0) return nullptr;
    Handle handle = newQuietHandle();
    if (!handle) return nullptr;
    mpg123_handle* h = handle.get();
    // An info frame that can't be true is passed over: the scan finds the real frames.
    if (claimsMoreFramesThanFit(file.get(), trackFile.identity().size) &&
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0) != MPG123_OK)
        return nullptr;
    if (mpg123_open_handle(h, file.get()) != MPG123_OK) return nullptr;
    // A scan through every frame makes the length exact where headers can only estimate it (VBR
    // without a Xing header, a cut-off file) and builds the index for sample-exact seeks.
    if (mpg123_scan(h) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0) return nullptr;
    std::int64_t lengthMs = std::int64_t{mpg123_length(h)} * 1000 / rate;
    std::vector<RatePart> parts;
    if (!hasOneRate(h, fd)) {
        // The file is read once more from its start, then opened again with the index kept.
        off_t* offsets = nullptr;
        off_t step = 0;
        std::size_t fill = 0;
        if (mpg123_index(h, &offsets, &step, &fill) != MPG123_OK) return nullptr;
        std::vector<off_t> index(offsets, offsets + fill);
        long flags = 0;
        double ignored = 0;
        if (mpg123_getparam(h, MPG123_FLAGS, &flags, &ignored) != MPG123_OK) return nullptr;
        mpg123_close(h);
        if (fseeko(file.get(), 0, SEEK_SET) != 0) return nullptr;
        parts = rateParts(file.get(), flags, lengthMs);
        if (fseeko(file.get(), 0, SEEK_SET) != 0 || mpg123_open_handle(h, file.get()) != MPG123_OK ||
            mpg123_set_index(h, index.data(), step, index.size()) != MPG123_OK)
            return nullptr;
        if (parts.size() < 2) parts.clear();
    }
    if (lengthMs <= 0) return nullptr;
    auto decoder = std::make_unique<MpegDecoder>(std::move(file), std::move(handle), lengthMs, rate, channels,
                                                 std::move(parts));
    if (!decoder->ready()) return nullptr;
    return decoder;
}

}  // namespace sound
