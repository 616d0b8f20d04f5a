// A file being decoded to 32-bit float frames, interleaved, at the file's own rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sound {

class Decoder {
public:
    virtual ~Decoder() = default;
    virtual int rate() const = 0;
    virtual int channels() const = 0;
    // Every frame that can be decoded, as found by reading the whole file at open.
    virtual std::int64_t lengthFrames() const = 0;
    // Moves to frame (sample-exact); false when the decoder can't.
    virtual bool seek(std::int64_t frame) = 0;
    // Decodes up to frames frames into out (frames * channels() floats); 0 at the end of the file
    // or on an error that stops decoding.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
};

// MPEG audio through libmpg123. Null when the file holds no decodable audio.
std::unique_ptr<Decoder> openMpegFile(const char* path);
// RIFF WAVE through libsndfile. Null when the file holds no decodable audio.
std::unique_ptr<Decoder> openWaveFile(const char* path);

}  // namespace sound
