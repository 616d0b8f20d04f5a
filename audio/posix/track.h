// One open file: its decoder, where it plays from, and whether it is paused.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/posix/decoder.h"

namespace sound {

class Track {
public:
    explicit Track(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}

    // Whole decodable length, rounded down to a millisecond.
    std::uint32_t lengthMs() const;

    // The following are called with the output's thread held off (see output.h).
    // Moves to fromMs (the end, when it lies past it) and clears the pause.
    void startAt(std::uint32_t fromMs);
    void setPaused(bool paused) { paused_ = paused; }
    // On the output's thread: fills bytes of output with the next frames; silence while paused
    // and once the file has ended.
    void render(std::uint8_t* out, int bytes);

private:
    std::unique_ptr<Decoder> decoder_;
    bool paused_ = false;
    bool ended_ = true;  // nothing more to play until the next startAt
};

}  // namespace sound
