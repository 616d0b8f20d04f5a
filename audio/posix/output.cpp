#include "audio/posix/output.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "audio/posix/output_format.h"
#include "audio/posix/sink.h"
#include "audio/posix/sink_choice.h"
#include "audio/posix/timeline.h"
#include "audio/posix/tuning.h"

namespace sound::output {
namespace {

// The longest the end of the run waits for its fade-out to be heard.
constexpr std::int64_t kFinishWaitMs = 500;

// Plain values and a pointer only: the process may end through std::exit while the sink's thread
// runs, and nothing the thread reads may be destroyed under it.
SinkChoice opened{};
Timeline* timeline = nullptr;  // from the first play on, where there is a sink; never destroyed
Track* open = nullptr;         // the service's open track, while it plays or is paused
bool paused = false;
Place held;  // where the paused sound had come to
// Where the open track is by the clock: clockFromMs at clockSinceMs, and on from there while it
// plays (the same steady clock as the player's own).
std::int64_t clockFromMs = 0;
std::int64_t clockSinceMs = 0;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t clockFrame(const Track& track) {
    const std::int64_t ms = clockFromMs + (paused ? 0 : nowMs() - clockSinceMs);
    return std::clamp<std::int64_t>(framesIn(ms, timeline->rate()), 0, track.frames());
}

void setClock(std::int64_t fromMs) {
    clockFromMs = fromMs;
    clockSinceMs = nowMs();
}

// Where a change starts: the rule of sink.h.
std::int64_t changeFrom(bool asked) {
    const QuavelinPlayhead at = opened.sink.playhead(asked ? 1 : 0);
    const std::int64_t ahead = at.heard < 0 ? 0 : at.heard + framesIn(kWriteAheadMs, timeline->rate());
    return std::max(ahead, at.firstReplaceable);
}

// The sink's thread: frames, a gap of its own, a new stream.
void renderFrames(float* out, std::size_t frames) { timeline->render(out, frames); }

void resyncOpenTrack() {
    if (open == nullptr || paused || timeline->playing() != open) return;
    timeline->replace(changeFrom(false), {open, clockFrame(*open)}, true);
    opened.sink.takeBackFrom(timeline->rendered());
}

Timeline newTimeline(int rate) { return Timeline(rate, opened.keepsFrames ? framesIn(kKeptMs, rate) : 0); }

void restartStream(int rate) {
    Track* follower = timeline->follower();
    const int oldRate = timeline->rate();
    *timeline = newTimeline(rate);
    for (Track* track : {open, follower, held.track})
        if (track != nullptr) track->setRate(rate);
    held.frame = held.frame * rate / oldRate;
    if (open != nullptr && !paused) timeline->replace(0, {open, clockFrame(*open)}, true);
    timeline->follow(follower);
}

bool isOpen() { return opened.sink.lock != nullptr; }

// False when there is no sink at all.
bool ensureOpen() {
    static bool tried = false;
    if (!tried) {
        tried = true;
        opened = openSink(renderFrames, resyncOpenTrack, restartStream);
        if (isOpen()) timeline = new Timeline(newTimeline(opened.sink.rate));
    }
    return isOpen();
}

// Holds the sink's thread off for as long as it lives.
class SinkLock {
public:
    SinkLock() { opened.sink.lock(); }
    ~SinkLock() { opened.sink.unlock(); }
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;
};

// A change: from where the rule says, next plays, and the sink asks for it at once.
Place change(Place next, bool fadeIn) {
    const Place reached = timeline->replace(changeFrom(true), next, fadeIn);
    opened.sink.takeBackFrom(timeline->rendered());
    opened.sink.start();
    return reached;
}

}  // namespace

void play(Track& track, std::uint32_t fromMs) {
    if (!ensureOpen()) return;
    SinkLock lock;
    track.setRate(timeline->rate());
    open = &track;
    paused = false;
    held = {};
    setClock(fromMs);
    const std::int64_t frame = framesIn(fromMs, timeline->rate());
    change({&track, frame}, frame > 0);
}

void pause() {
    if (!isOpen() || open == nullptr || paused) return;
    SinkLock lock;
    clockFromMs += nowMs() - clockSinceMs;
    paused = true;
    held = change({}, false);
}

void resume() {
    if (!isOpen() || open == nullptr || !paused) return;
    SinkLock lock;
    paused = false;
    setClock(clockFromMs);
    if (held.track != nullptr) change(held, true);
}

void stop() {
    if (!isOpen() || open == nullptr) return;
    SinkLock lock;
    open = nullptr;
    paused = false;
    held = {};
    change({}, false);
}

void follow(Track& next) {
    if (!isOpen()) return;
    SinkLock lock;
    next.setRate(timeline->rate());
    const std::optional<std::int64_t> end = timeline->endOf(open);
    if (open == nullptr || paused || timeline->playing() == open || !end) {
        timeline->follow(&next);
        return;
    }
    // The open track's sound has all been rendered: what was rendered after it is taken back from
    // its end, unless that is heard already.
    timeline->follow(&next);
    timeline->replace(std::max(changeFrom(true), *end), {&next, 0}, false, false);
    opened.sink.takeBackFrom(timeline->rendered());
    opened.sink.start();
}

void unfollow() {
    if (!isOpen()) return;
    SinkLock lock;
    if (std::optional<std::int64_t> joined = timeline->joinedAt()) {
        const std::int64_t from = std::max(changeFrom(true), *joined);
        timeline->replace(from, {}, false, from > *joined);
        opened.sink.takeBackFrom(timeline->rendered());
        opened.sink.start();
    }
    timeline->follow(nullptr);
}

void advance(Track& next) {
    if (!isOpen()) return;
    SinkLock lock;
    const bool joined = timeline->joinedAt().has_value() && timeline->playing() == &next;
    open = &next;
    paused = false;
    held = {};
    setClock(0);
    if (!joined) change({&next, 0}, false);
    timeline->follow(nullptr);
}

void forget(const Track& track) {
    if (!isOpen()) return;
    SinkLock lock;
    timeline->forget(&track);
    if (open == &track) open = nullptr;
    if (held.track == &track) held = {};
}

std::optional<std::int64_t> msUntilEnd() {
    if (!isOpen() || open == nullptr || paused) return std::nullopt;
    SinkLock lock;
    const std::int64_t heard = opened.sink.playhead(0).heard;
    const std::optional<std::int64_t> end = timeline->endOf(open);
    if (heard < 0 || !end) return std::nullopt;
    return std::max<std::int64_t>(0, msIn(*end - heard, timeline->rate()));
}

double volume() {
    if (!isOpen()) return -1;
    SinkLock lock;
    return opened.sink.volume();
}

void setVolume(double volume) {
    if (!isOpen()) return;
    SinkLock lock;
    opened.sink.setVolume(volume);
}

void finish() {
    if (!isOpen() || opened.silent) return;
    std::int64_t until = 0;
    {
        SinkLock lock;
        open = nullptr;
        held = {};
        change({}, false);
        if (!timeline->fadeOutEnd()) return;  // nothing sounded
        // Heard to the end of the fade, or, where the sink can't tell, played a buffer past it.
        until = *timeline->fadeOutEnd();
    }
    const std::int64_t deadline = nowMs() + kFinishWaitMs;
    for (;;) {
        std::int64_t heard = 0;
        std::int64_t rendered = 0;
        {
            SinkLock lock;
            heard = opened.sink.playhead(0).heard;
            rendered = timeline->rendered();
        }
        const bool done = heard >= 0 ? heard >= until : rendered >= until + opened.bufferFrames;
        if (done || nowMs() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace sound::output
