// A file being decoded to the output format (see output_format.h) at the output's rate: the decoder
// converts its file's rate and channels itself, following any change of format inside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/posix/track_file.h"

namespace sound {

class Decoder {
public:
    virtual ~Decoder() = default;
    // The length of the file's sound: each part's own samples at its own rate, in milliseconds.
    // Any thread. Until lengthIsExact(), an estimate that the decoder is making exact in the
    // background, at least as long as what it knows of the file.
    virtual std::int64_t lengthMs() const = 0;
    virtual bool lengthIsExact() const { return true; }
    // Returns once a seek to ms needs nothing that the decoder is still finding out about the file,
    // or after a bounded wait: called before a seek, outside the sink's lock, since the seek itself
    // (made with the sink held off) never waits.
    virtual void awaitScannedTo(std::int64_t /*ms*/) const {}
    // What is decoded from the next seek on comes at rate frames a second (kDefaultRate until told).
    virtual void setOutputRate(long rate) = 0;
    // Moves to the output frame that lies at that time in the file; false when the decoder can't.
    virtual bool seek(std::int64_t frame) = 0;
    // The decoder whose file follows this one's with no gap (null: none): what this one's conversion
    // still holds at the end of its file is not let out but goes on into next's first frames, as
    // one stream, so that a join sounds as the two files played as one would.
    virtual void continueInto(Decoder* next) = 0;
    // Decodes up to frames output frames into out; 0 at the end of the file or on an error that
    // stops decoding.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
};

// MPEG audio through libmpg123, ready from its first frame on: the rest of the file is scanned in the
// background (mpeg_scan.h). Null when the file holds no decodable audio.
std::unique_ptr<Decoder> openMpegFile(TrackFile file);

}  // namespace sound
