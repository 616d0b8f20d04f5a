// One open file as the output plays it: its decoder and where it stands, in frames of the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"

namespace sound {

class Track {
public:
    explicit Track(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}

    // Whole decodable length, rounded down to a millisecond; see Decoder for one not yet exact.
    std::uint32_t lengthMs() const;
    bool lengthIsExact() const { return decoder_->lengthIsExact(); }
    // Returns once a move to ms can be made at once (see Decoder).
    void awaitScannedTo(std::int64_t ms) const { decoder_->awaitScannedTo(ms); }
    // The whole length in frames of the output, by that length.
    std::int64_t frames() const { return framesIn(lengthMs(), rate_); }
    int rate() const { return rate_; }
    // The frame read() gives next.
    std::int64_t position() const { return position_; }

    // The output's rate: what follows is decoded at it. The position is then moveTo's to set.
    void setRate(int rate);
    // Moves to frame (its end, when that lies past it).
    void moveTo(std::int64_t frame);
    // next follows this track with no gap (null: nothing does): the two decode as one stream.
    void precede(Track* next) { decoder_->continueInto(next != nullptr ? next->decoder_.get() : nullptr); }
    // Decodes up to frames frames of output into out; fewer only once the track has ended.
    std::size_t read(float* out, std::size_t frames);

private:
    std::unique_ptr<Decoder> decoder_;
    int rate_ = kDefaultRate;
    std::int64_t position_ = 0;
    bool ended_ = true;  // nothing to read until the first moveTo
};

}  // namespace sound
