#include "audio/posix/track.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "audio/posix/output_format.h"

namespace sound {

std::uint32_t Track::lengthMs() const {
    auto ms = static_cast<std::uint64_t>(decoder_->lengthFrames()) * 1000u / kRate;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, std::numeric_limits<std::uint32_t>::max()));
}

void Track::startAt(std::uint32_t fromMs) {
    auto frame = static_cast<std::int64_t>(static_cast<std::uint64_t>(fromMs) * kRate / 1000u);
    frame = std::min(frame, decoder_->lengthFrames());
    paused_ = false;
    ended_ = !decoder_->seek(frame);
}

void Track::render(std::uint8_t* out, int bytes) {
    const auto frames = static_cast<std::size_t>(bytes / kBytesPerFrame);
    std::size_t written = 0;
    // The output's buffer is float-aligned: the decoders write into it directly.
    auto* samples = reinterpret_cast<float*>(out);
    while (!paused_ && !ended_ && written < frames) {
        std::size_t got = decoder_->read(samples + written * kChannels, frames - written);
        if (got == 0) ended_ = true;
        written += got;
    }
    std::size_t filled = written * kBytesPerFrame;
    if (filled < static_cast<std::size_t>(bytes))
        std::memset(out + filled, 0, static_cast<std::size_t>(bytes) - filled);
}

}  // namespace sound
