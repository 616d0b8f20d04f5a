#include "audio/posix/track.h"

#include <algorithm>
#include <limits>

#include "audio/posix/output_format.h"

namespace sound {

std::uint32_t Track::lengthMs() const {
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(decoder_->lengthMs(), 0, std::numeric_limits<std::uint32_t>::max()));
}

void Track::startAt(std::uint32_t fromMs) {
    std::int64_t frame = std::min<std::int64_t>(fromMs, decoder_->lengthMs()) * kRate / 1000;
    paused_ = false;
    ended_ = !decoder_->seek(frame);
    startFrame_ = position_ = frame;
    silence_ = 0;
    fadeIn_ = 0;
}

void Track::setPaused(bool paused) {
    if (paused_ && !paused) fadeIn_ = 0;
    paused_ = paused;
}

void Track::takeBack(std::int64_t frames) {
    std::int64_t unheard = std::min(frames - silence_, position_ - startFrame_);
    if (unheard <= 0) return;
    position_ -= unheard;
    ended_ = !decoder_->seek(position_);
    silence_ = 0;
}

std::size_t Track::decode(float* out, std::size_t frames) {
    std::size_t written = 0;
    while (!ended_ && written < frames) {
        std::size_t got = decoder_->read(out + written * kChannels, frames - written);
        if (got == 0) ended_ = true;
        written += got;
    }
    position_ += static_cast<std::int64_t>(written);
    auto quiet = static_cast<std::int64_t>(frames - written);
    silence_ = written > 0 ? quiet : silence_ + quiet;
    std::fill(out + written * kChannels, out + frames * kChannels, 0.0F);
    return written;
}

void Track::renderFadeOut(float* out) {
    const auto frames = static_cast<std::size_t>(kFadeFrames);
    std::size_t got = paused_ ? 0 : decode(out, frames);
    if (got == 0) std::fill(out, out + frames * kChannels, 0.0F);
    // Where it was still fading in, the fade out starts from that gain.
    for (std::size_t k = 0; k < got; ++k) {
        auto step = static_cast<std::int64_t>(k);
        float gain = static_cast<float>(std::min(kFadeFrames - step, fadeIn_ + 1 + step)) /
                     static_cast<float>(kFadeFrames + 1);
        out[k * kChannels] *= gain;
        out[k * kChannels + 1] *= gain;
    }
    fadeIn_ = kFadeFrames;
}

void Track::render(float* out, std::size_t frames) {
    if (paused_) {
        std::fill(out, out + frames * kChannels, 0.0F);
        silence_ += static_cast<std::int64_t>(frames);
        return;
    }
    std::size_t got = decode(out, frames);
    for (std::size_t k = 0; k < got && fadeIn_ < kFadeFrames; ++k, ++fadeIn_) {
        float gain = static_cast<float>(fadeIn_ + 1) / static_cast<float>(kFadeFrames + 1);
        out[k * kChannels] *= gain;
        out[k * kChannels + 1] *= gain;
    }
}

}  // namespace sound
