// One open file: its decoder, where it plays from, whether it is paused, and the short fades that
// keep every interruption of its sound free of clicks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "audio/posix/decoder.h"

namespace sound {

// A fade lasts 5 ms: long enough that a cut makes no click, short enough to go unheard as a delay.
constexpr std::int64_t kFadeFrames = 220;

class Track {
public:
    explicit Track(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}

    // Whole decodable length, rounded down to a millisecond.
    std::uint32_t lengthMs() const;

    // The following are called with the output's thread held off (see output.h).
    // Moves to fromMs (the end, when it lies past it) and clears the pause; the sound fades in.
    void startAt(std::uint32_t fromMs);
    // Paused, it renders silence and keeps its place; played on, it fades in from there.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // Once all of its sound is rendered, the silence rendered after it: what alone may be taken
    // back without losing any of its sound. Nothing while it has sound still to come.
    std::optional<std::int64_t> silenceAfterItsEnd() const {
        return ended_ ? std::optional(silence_) : std::nullopt;
    }
    // The last frames rendered were never heard (the sink dropped them): they come again.
    void takeBack(std::int64_t frames);
    // Renders the next kFadeFrames frames fading out to silence into out (the output format); the
    // track goes on after them. Silence where the track has nothing to play.
    void renderFadeOut(float* out);
    // On the output's thread: fills frames of output with the next frames; silence while paused and
    // once the file has ended.
    void render(float* out, std::size_t frames);

private:
    // Decodes up to frames frames into out; how many it could.
    std::size_t decode(float* out, std::size_t frames);

    std::unique_ptr<Decoder> decoder_;
    bool paused_ = false;
    bool ended_ = true;            // nothing more to play until the next startAt
    std::int64_t startFrame_ = 0;  // where the last startAt put it
    std::int64_t position_ = 0;    // the output frame that comes next
    std::int64_t silence_ = 0;     // frames of silence rendered since its last sound
    std::int64_t fadeIn_ = 0;      // frames into the fade-in; kFadeFrames once it is over
};

}  // namespace sound
