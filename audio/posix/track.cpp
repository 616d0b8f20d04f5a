#include "audio/posix/track.h"

#include <algorithm>
#include <limits>

namespace sound {

std::uint32_t Track::lengthMs() const {
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(decoder_->lengthMs(), 0, std::numeric_limits<std::uint32_t>::max()));
}

void Track::setRate(int rate) {
    if (rate == rate_) return;
    rate_ = rate;
    decoder_->setOutputRate(rate);
    ended_ = true;
}

void Track::moveTo(std::int64_t frame) {
    position_ = std::clamp<std::int64_t>(frame, 0, frames());
    ended_ = !decoder_->seek(position_);
}

std::size_t Track::read(float* out, std::size_t frames) {
    std::size_t written = 0;
    while (!ended_ && written < frames) {
        std::size_t got = decoder_->read(out + written * kChannels, frames - written);
        if (got == 0) ended_ = true;
        written += got;
    }
    position_ += static_cast<std::int64_t>(written);
    return written;
}

}  // namespace sound
