// Brings decoded audio of any rate and channel count to the output format (output_format.h) at the
// output's rate: other rates are converted by libsoxr's high-quality resampler, mono is copied to
// both channels. Audio already at the output's rate passes through untouched, sample for sample.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "audio/posix/output_format.h"

struct soxr;

namespace sound {

class RateConverter {
public:
    RateConverter();
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;
    // A stream that goes on in another decoder takes its converter along (see Decoder).
    RateConverter(RateConverter&&) noexcept;
    RateConverter& operator=(RateConverter&&) noexcept;

    // What follows is at rate with channels (1 or 2). What the converter still held of the
    // previous format is let out into out first. False when no converter can be made for it.
    bool setFormat(long rate, int channels, std::vector<float>& out);
    // What comes out is at outputRate from now on; what the converter held is forgotten. False
    // when no converter can be made for it.
    bool setOutputRate(long outputRate);
    // Appends the output frames for frames of interleaved input to out.
    void convert(const float* in, std::size_t frames, std::vector<float>& out);
    // Lets out what the converter holds: the input has ended.
    void drain(std::vector<float>& out);
    // Forgets what it holds: the input goes on elsewhere (a seek).
    void clear();

private:
    struct Deleter {
        void operator()(soxr* resampler) const;
    };
    // A resampler for the input's rate and channels, where it differs from the output's.
    bool makeResampler();
    // Appends output frames converted from input (null: let out what is held) to out.
    void resample(const float* in, std::size_t frames, std::vector<float>& out);
    // Appends frames of the resampler's output (at the input's channel count) to out as stereo.
    void appendAsStereo(const float* in, std::size_t frames, std::vector<float>& out) const;

    long rate_ = 0;
    long outputRate_ = kDefaultRate;
    int channels_ = 2;
    std::unique_ptr<soxr, Deleter> resampler_;  // null while the rate is the output's
    std::vector<float> converted_;              // the resampler's output before the upmix
};

}  // namespace sound
