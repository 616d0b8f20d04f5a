#include "audio/posix/output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/posix/pulse_sink.h"
#include "audio/posix/sink.h"

namespace sound {
namespace {

// Plain values only: the process may end through std::exit while the sink's thread runs, and
// nothing the thread reads may be destroyed under it.
QuavelinSink sink{};
bool openTried = false;
Track* playing = nullptr;  // read by the sink's thread, under its lock

void renderPlaying(std::uint8_t* out, int bytes) {
    if (playing != nullptr)
        playing->render(out, bytes);
    else
        std::memset(out, 0, static_cast<std::size_t>(bytes));
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
        if (sdlAskedFor() || !openPulseSink(renderPlaying, sink)) {
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

}  // namespace

void play(Track& track, std::uint32_t fromMs) {
    if (!ensureOpen()) return;
    SinkLock lock;
    track.startAt(fromMs);
    playing = &track;
    sink.restart();
}

void setPaused(Track& track, bool paused) {
    if (sink.lock == nullptr) return;
    SinkLock lock;
    track.setPaused(paused);
    if (playing == &track) sink.setPaused(paused ? 1 : 0);
}

void forget(Track& track) {
    if (sink.lock == nullptr) return;
    SinkLock lock;
    if (playing != &track) return;
    playing = nullptr;
    sink.halt();
}

}  // namespace sound
