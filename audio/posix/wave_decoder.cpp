// RIFF WAVE files through libsndfile, converted to the output format: channels to stereo here,
// the rate through libsamplerate.
#include <samplerate.h>
#include <sndfile.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"

namespace sound {
namespace {

// Rates a file may declare: the converter takes ratios up to 256 either way, and far below the
// lowest it would spend its time making many frames out of a few.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;
// Frames read from the file per step.
constexpr std::size_t kChunkFrames = 1024;

struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using File = std::unique_ptr<SNDFILE, FileCloser>;

struct ConverterDeleter {
    void operator()(SRC_STATE* state) const { src_delete(state); }
};
using Converter = std::unique_ptr<SRC_STATE, ConverterDeleter>;

class WaveDecoder final : public Decoder {
public:
    WaveDecoder(TrackFile trackFile, File file, const SF_INFO& info)
        : trackFile_(std::move(trackFile)),
          file_(std::move(file)),
          info_(info),
          native_(kChunkFrames * static_cast<std::size_t>(info.channels)),
          stereo_(kChunkFrames * kChannels) {}

    // False when the rate can't be converted.
    bool startConverter() {
        if (info_.samplerate == kRate) return true;
        if (info_.samplerate < kLowestRate || info_.samplerate > kHighestRate) return false;
        int error = 0;
        converter_.reset(src_callback_new(&WaveDecoder::supply, SRC_SINC_FASTEST, kChannels, &error, this));
        return converter_ != nullptr;
    }

    std::int64_t lengthFrames() const override {
        return static_cast<std::int64_t>(info_.frames) * kRate / info_.samplerate;
    }

    bool seek(std::int64_t frame) override {
        if (converter_) src_reset(converter_.get());
        return sf_seek(file_.get(), frame * info_.samplerate / kRate, SEEK_SET) >= 0;
    }

    std::size_t read(float* out, std::size_t frames) override {
        if (!converter_) return readStereo(out, frames);
        long got = src_callback_read(converter_.get(), static_cast<double>(kRate) / info_.samplerate,
                                     static_cast<long>(frames), out);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    // Up to frames frames of the file as stereo: mono on both sides, the first two channels of more.
    std::size_t readStereo(float* out, std::size_t frames) {
        std::size_t done = 0;
        const auto channels = static_cast<std::size_t>(info_.channels);
        while (done < frames) {
            std::size_t want = std::min(frames - done, kChunkFrames);
            sf_count_t got = sf_readf_float(file_.get(), native_.data(), static_cast<sf_count_t>(want));
            if (got <= 0) break;
            for (std::size_t k = 0; k < static_cast<std::size_t>(got); ++k) {
                out[(done + k) * 2] = native_[k * channels];
                out[(done + k) * 2 + 1] = native_[k * channels + (channels > 1 ? 1 : 0)];
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    static long supply(void* self, float** data) {
        auto* decoder = static_cast<WaveDecoder*>(self);
        *data = decoder->stereo_.data();
        return static_cast<long>(decoder->readStereo(decoder->stereo_.data(), kChunkFrames));
    }

    TrackFile trackFile_;  // outlives libsndfile's file, which reads from its descriptor
    File file_;
    SF_INFO info_;
    Converter converter_;        // none when the file has the output rate
    std::vector<float> native_;  // one step of the file's own frames
    std::vector<float> stereo_;  // the same as stereo, handed to the converter
};

// "RIFF", the chunk size, "WAVE": checked before libsndfile sees the file, because it would
// otherwise probe every format it knows, MPEG among them, whose decoder prints its notes about
// bad headers on standard error.
bool startsAsRiffWave(int fd) {
    std::array<char, 12> head{};
    return ::pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
           std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

bool isWave(const SF_INFO& info) {
    int container = info.format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

}  // namespace

std::unique_ptr<Decoder> openWaveFile(TrackFile trackFile) {
    if (!startsAsRiffWave(trackFile.fd())) return nullptr;
    SF_INFO info{};
    File file;
    {
        // A RIFF WAVE may still hold MPEG audio, which libsndfile hands to libmpg123 unquieted.
        QuietStderr quiet;
        file.reset(sf_open_fd(trackFile.fd(), SFM_READ, &info, SF_FALSE));
    }
    if (!file) return nullptr;
    // libsndfile reads many other containers; a wave track is only what a wave device plays.
    if (!isWave(info) || info.frames <= 0 || info.samplerate <= 0 || info.channels <= 0 || info.seekable == 0)
        return nullptr;
    auto decoder = std::make_unique<WaveDecoder>(std::move(trackFile), std::move(file), info);
    if (!decoder->startConverter()) return nullptr;
    return decoder;
}

}  // namespace sound
