#include "audio/posix/rate_converter.h"

#include <soxr.h>

#include <algorithm>

namespace sound {

void RateConverter::Deleter::operator()(soxr* resampler) const { soxr_delete(resampler); }

RateConverter::RateConverter() = default;
RateConverter::~RateConverter() = default;
RateConverter::RateConverter(RateConverter&&) noexcept = default;
RateConverter& RateConverter::operator=(RateConverter&&) noexcept = default;

bool RateConverter::setFormat(long rate, int channels, std::vector<float>& out) {
    if (rate == rate_ && channels == channels_) return true;
    drain(out);
    rate_ = rate;
    channels_ = channels;
    return makeResampler();
}

bool RateConverter::setOutputRate(long outputRate) {
    if (outputRate == outputRate_) return true;
    outputRate_ = outputRate;
    return makeResampler();
}

bool RateConverter::makeResampler() {
    resampler_.reset();
    if (rate_ == 0 || rate_ == outputRate_) return true;
    // 20-bit precision: far below what an MP3 carries, at a fraction of the decoder's own cost.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // no threads of its own
    soxr_error_t error = nullptr;
    resampler_.reset(soxr_create(static_cast<double>(rate_), static_cast<double>(outputRate_),
                                 static_cast<unsigned>(channels_), &error, &io, &quality, &runtime));
    return error == nullptr && resampler_ != nullptr;
}

void RateConverter::convert(const float* in, std::size_t frames, std::vector<float>& out) {
    if (resampler_)
        resample(in, frames, out);
    else
        appendAsStereo(in, frames, out);
}

void RateConverter::drain(std::vector<float>& out) {
    if (!resampler_) return;
    resample(nullptr, 0, out);
    soxr_clear(resampler_.get());
}

void RateConverter::clear() {
    if (resampler_) soxr_clear(resampler_.get());
}

void RateConverter::resample(const float* in, std::size_t frames, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(channels_);
    // Room for this input's share and the filter's own delay; the rest, if any, comes next round.
    const std::size_t room =
        frames * static_cast<std::size_t>(outputRate_) / static_cast<std::size_t>(rate_) + 256;
    converted_.resize(room * channels);
    for (;;) {
        std::size_t used = 0;
        std::size_t made = 0;
        if (soxr_process(resampler_.get(), in, frames, &used, converted_.data(), room, &made) != nullptr)
            return;
        appendAsStereo(converted_.data(), made, out);
        if (in != nullptr) {
            in += used * channels;
            frames -= used;
        }
        if (made < room && frames == 0) return;
    }
}

void RateConverter::appendAsStereo(const float* in, std::size_t frames, std::vector<float>& out) const {
    if (channels_ == kChannels) {
        out.insert(out.end(), in, in + frames * kChannels);
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + frames * kChannels);
    for (std::size_t k = 0; k < frames; ++k) out[at + 2 * k] = out[at + 2 * k + 1] = in[k];
}

}  // namespace sound
