#include "audio/posix/output.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "audio/posix/output_format.h"
#include "audio/posix/pulse_sink.h"
#include "audio/posix/sink.h"

namespace sound {
namespace {

// Plain values only: the process may end through std::exit while the sink's thread runs, and
// nothing the thread reads may be destroyed under it.
QuavelinSink sink{};
bool openTried = false;
Track* playing = nullptr;  // read by the sink's thread, under its lock
// The fade-out of the sound that played before the last change, rendered before anything else.
std::array<float, static_cast<std::size_t>(kFadeFrames) * kChannels> fadeOut{};
std::int64_t fadeOutLeft = 0;    // frames of it still to render, at its end
std::int64_t fadeOutServed = 0;  // frames of it rendered
std::int64_t afterFadeOut = 0;   // frames rendered after it
// Frames rendered into the sink (less those taken back), and how many of them must be played: a
// track that has rendered all of its sound and ends is heard to its last frame, however far the
// sink plays behind the clock (a sink that started late).
std::int64_t rendered = 0;
std::int64_t mustPlay = 0;
// Where the playing track is by the clock: clockFromMs at clockSinceMs, and on from there while it
// plays (the same steady clock as the player's own).
std::int64_t clockFromMs = 0;
std::int64_t clockSinceMs = 0;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void renderPlaying(float* out, std::size_t frames) {
    auto fromFade = static_cast<std::size_t>(std::min(static_cast<std::int64_t>(frames), fadeOutLeft));
    std::copy_n(fadeOut.end() - fadeOutLeft * kChannels, fromFade * kChannels, out);
    fadeOutLeft -= static_cast<std::int64_t>(fromFade);
    fadeOutServed += static_cast<std::int64_t>(fromFade);
    rendered += static_cast<std::int64_t>(frames);
    afterFadeOut += static_cast<std::int64_t>(frames - fromFade);
    out += fromFade * kChannels;
    frames -= fromFade;
    if (playing != nullptr)
        playing->render(out, frames);
    else
        std::fill(out, out + frames * kChannels, 0.0F);
}

// The sink plays on after a gap: the playing track goes on from where the clock says it is.
void resyncPlaying() {
    fadeOutLeft = 0;
    if (playing == nullptr || playing->paused()) return;
    std::int64_t at = clockFromMs + nowMs() - clockSinceMs;
    playing->startAt(static_cast<std::uint32_t>(std::clamp<std::int64_t>(at, 0, playing->lengthMs())));
}

// SDL_AUDIODRIVER asks for SDL by naming one of its drivers (the tests' dummy and disk outputs).
bool sdlAskedFor() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver != nullptr && *driver != '\0';
}

// False when there is no sink at all.
bool ensureOpen() {
    if (!openTried) {
        openTried = true;
        if (sdlAskedFor() || !openPulseSink(renderPlaying, resyncPlaying, sink)) {
            // Without a device SDL's dummy output is taken: it keeps real time, silently.
            if (openSdlSink(renderPlaying, sink) != 1)
                std::fputs("quavelin: no usable sound device; tracks play silently.\n", stderr);
        }
    }
    return sink.lock != nullptr;
}

// Holds the sink's thread off for as long as it lives.
class SinkLock {
public:
    SinkLock() { sink.lock(); }
    ~SinkLock() { sink.unlock(); }
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;
};

// The sound that plays is interrupted: what the sink will not play of it is taken back, and its
// next few milliseconds from there, faded out, are what the sink plays first from now on. A
// fade-out not yet heard whole (a seek is a close and a play at once) is played on instead: the
// sound was already going.
void fadeOutPlaying() {
    std::int64_t unheard = sink.takeBack(std::max<std::int64_t>(rendered - mustPlay, 0));
    rendered -= unheard;
    // Of what the sink dropped, the newest came after the fade-out, and before that its own end.
    std::int64_t fadeOutDropped = std::clamp<std::int64_t>(unheard - afterFadeOut, 0, fadeOutServed);
    fadeOutLeft += fadeOutDropped;
    fadeOutServed -= fadeOutDropped;
    if (fadeOutLeft > 0 || playing == nullptr || playing->paused()) return;
    playing->takeBack(unheard);
    playing->renderFadeOut(fadeOut.data());
    fadeOutLeft = kFadeFrames;
    fadeOutServed = afterFadeOut = 0;
}

}  // namespace

void play(Track& track, std::uint32_t fromMs) {
    if (!ensureOpen()) return;
    SinkLock lock;
    fadeOutPlaying();
    track.startAt(fromMs);
    playing = &track;
    clockFromMs = fromMs;
    clockSinceMs = nowMs();
    sink.start();
}

void setPaused(Track& track, bool paused) {
    if (sink.lock == nullptr) return;
    SinkLock lock;
    if (playing != &track) {
        track.setPaused(paused);
        return;
    }
    fadeOutPlaying();
    // The clock stands still in a pause.
    std::int64_t now = nowMs();
    if (paused && !track.paused()) clockFromMs += now - clockSinceMs;
    clockSinceMs = now;
    track.setPaused(paused);
    sink.start();
}

void forget(Track& track) {
    if (sink.lock == nullptr) return;
    SinkLock lock;
    if (playing != &track) return;
    if (auto silence = track.silenceAfterItsEnd()) mustPlay = rendered - *silence;
    fadeOutPlaying();
    playing = nullptr;
    sink.start();
}

}  // namespace sound
