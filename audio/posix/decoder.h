// A file being decoded to the output format (see output_format.h): each decoder converts its
// file's rate and channels itself, following any change of format inside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/posix/track_file.h"

namespace sound {

class Decoder {
public:
    virtual ~Decoder() = default;
    // Every frame that can be decoded, in output frames: each part of the file counted at its
    // own rate.
    virtual std::int64_t lengthFrames() const = 0;
    // Moves to the output frame that lies at that time in the file; false when the decoder can't.
    virtual bool seek(std::int64_t frame) = 0;
    // Decodes up to frames output frames into out; 0 at the end of the file or on an error that
    // stops decoding.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
};

// MPEG audio through libmpg123. Null when the file holds no decodable audio.
std::unique_ptr<Decoder> openMpegFile(TrackFile file);
// RIFF WAVE through libsndfile. Null when the file holds no decodable audio.
std::unique_ptr<Decoder> openWaveFile(TrackFile file);

}  // namespace sound
