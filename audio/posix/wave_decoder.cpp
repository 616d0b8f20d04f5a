// RIFF WAVE files through libsndfile.
#include <sndfile.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "audio/posix/decoder.h"
#include "audio/posix/quiet_stderr.h"

namespace sound {
namespace {

struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using File = std::unique_ptr<SNDFILE, FileCloser>;

class WaveDecoder final : public Decoder {
public:
    WaveDecoder(File file, const SF_INFO& info) : file_(std::move(file)), info_(info) {}

    int rate() const override { return info_.samplerate; }
    int channels() const override { return info_.channels; }
    std::int64_t lengthFrames() const override { return info_.frames; }

    bool seek(std::int64_t frame) override { return sf_seek(file_.get(), frame, SEEK_SET) >= 0; }

    std::size_t read(float* out, std::size_t frames) override {
        sf_count_t got = sf_readf_float(file_.get(), out, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    File file_;
    SF_INFO info_;
};

// "RIFF", the chunk size, "WAVE": checked before libsndfile sees the file, because it would
// otherwise probe every format it knows, MPEG among them, whose decoder prints its notes about
// bad headers on standard error.
bool startsAsRiffWave(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::array<char, 12> head{};
    bool complete = std::fread(head.data(), 1, head.size(), file) == head.size();
    std::fclose(file);
    return complete && std::memcmp(head.data(), "RIFF", 4) == 0 &&
           std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

bool isWave(const SF_INFO& info) {
    int container = info.format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

}  // namespace

std::unique_ptr<Decoder> openWaveFile(const char* path) {
    if (!startsAsRiffWave(path)) return nullptr;
    SF_INFO info{};
    File file;
    {
        // A RIFF WAVE may still hold MPEG audio, which libsndfile hands to libmpg123 unquieted.
        QuietStderr quiet;
        file.reset(sf_open(path, SFM_READ, &info));
    }
    // libsndfile reads many other containers; a wave track is only what a wave device plays.
    if (!file || !isWave(info) || info.frames <= 0 || info.samplerate <= 0 || info.channels <= 0)
        return nullptr;
    if (info.seekable == 0) return nullptr;
    return std::make_unique<WaveDecoder>(std::move(file), info);
}

}  // namespace sound
