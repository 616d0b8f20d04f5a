#include "audio/posix/output.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
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
// A sink that comes within this while of a play plays it from where it was played (a track from its
// first frame), its sound that much behind the clock, which the player's end of a track waits for
// (as long, at most); one that comes later, from where the clock has come to, faded in.
constexpr std::int64_t kJoinsInTimeMs = 1000;
// How long the first play waits for the sink to be opened, and the end of the run for a sink still
// being opened: long enough for a server or a device that answers, short enough that one that
// does not holds up nothing the user would notice.
constexpr std::chrono::milliseconds kFirstOpenWait{200};
constexpr std::chrono::milliseconds kLastOpenWait{500};

// Plain values and pointers only: the process may end through std::exit while the sink's thread or
// the opener's runs, and nothing they read may be destroyed under them.
// The output's state and its sink are the player's thread's and the opener's in turn, under this
// lock; with a sink, every change is also made with the sink's thread held off (SinkLock).
std::mutex* const guard = new std::mutex;
std::condition_variable* const answered = new std::condition_variable;  // the opener's first answer
bool firstAnswer = false;      // the opener has taken its first sink, or found none
SinkChoice opened{};           // lock is null until a sink is open
Timeline* timeline = nullptr;  // from the first call on; at the sink's rate once there is one
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

bool hasSink() { return opened.sink.lock != nullptr; }

// Where a change starts: the rule of sink.h. Without a sink, nothing is rendered yet.
std::int64_t changeFrom(bool asked) {
    if (!hasSink()) return timeline->rendered();
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

// A new stream at rate: the open track goes on in it from where the clock says, faded in, unless
// the play it comes after was a moment ago (the first track, its sink just opened).
void restartStream(int rate) {
    Track* follower = timeline->follower();
    const int oldRate = timeline->rate();
    *timeline = Timeline(rate, opened.keepsFrames ? framesIn(kKeptMs, rate) : 0);
    for (Track* track : {open, follower, held.track})
        if (track != nullptr) track->setRate(rate);
    held.frame = held.frame * rate / oldRate;
    if (open != nullptr && !paused) {
        const bool inTime = nowMs() - clockSinceMs < kJoinsInTimeMs;
        const std::int64_t frame = inTime ? framesIn(clockFromMs, rate) : clockFrame(*open);
        timeline->replace(0, {open, frame}, frame > 0);
    }
    timeline->follow(follower);
}

// Holds the sink's thread off for as long as it lives, where there is a sink.
class SinkLock {
public:
    SinkLock() {
        if (hasSink()) opened.sink.lock();
    }
    ~SinkLock() {
        if (hasSink()) opened.sink.unlock();
    }
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;
};

// The sink the opener found takes over from whatever played before (nothing, or SDL's silent
// output while the sound server did not answer): what is open plays on in it.
void takeOver(const SinkChoice& choice) {
    std::lock_guard<std::mutex> held(*guard);
    if (hasSink()) {
        SinkLock lock;
        opened.sink.close();
    }
    opened = choice;
    if (!hasSink()) return;
    SinkLock lock;
    restartStream(opened.sink.rate);
    // A sink starts with the first play: started before, it would only be taken back from.
    if (open != nullptr) opened.sink.start();
}

// The sink is opened on a thread of its own: a sound server that takes the connection and never
// answers, and a library that waits on it, hold up neither the prompt nor a command. Meanwhile
// everything is done as usual, and the sound joins once the sink is there. A server that did not
// answer is tried again about once a second, and the sound moves there once it does.
void openInBackground() {
    SinkChoice choice = openSink(renderFrames, resyncOpenTrack, restartStream);
    takeOver(choice);
    {
        std::lock_guard<std::mutex> held(*guard);
        firstAnswer = true;
    }
    answered->notify_all();
    while (choice.serverSilent) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (std::optional<SinkChoice> server = openServerSink(renderFrames, resyncOpenTrack, restartStream)) {
            takeOver(*server);
            return;
        }
    }
}

// The state from the first call on; the sink's opener started once. A play waits a short while
// for its first answer.
std::unique_lock<std::mutex> ready(bool forPlay = false) {
    std::unique_lock<std::mutex> held(*guard);
    if (timeline == nullptr) {
        timeline = new Timeline(kDefaultRate, 0);
        try {
            std::thread(openInBackground).detach();
        } catch (...) {
            held.unlock();
            openInBackground();  // no thread to be had: open now
            held.lock();
        }
    }
    if (forPlay) answered->wait_for(held, kFirstOpenWait, [] { return firstAnswer; });
    return held;
}

// A change: from where the rule says, next plays, and the sink asks for it at once.
Place change(Place next, bool fadeIn) {
    const Place reached = timeline->replace(changeFrom(true), next, fadeIn);
    if (hasSink()) {
        opened.sink.takeBackFrom(timeline->rendered());
        opened.sink.start();
    }
    return reached;
}

}  // namespace

void play(Track& track, std::uint32_t fromMs) {
    auto state = ready(true);
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
    auto state = ready();
    if (open == nullptr || paused) return;
    SinkLock lock;
    clockFromMs += nowMs() - clockSinceMs;
    paused = true;
    held = change({}, false);
}

void resume() {
    auto state = ready();
    if (open == nullptr || !paused) return;
    SinkLock lock;
    paused = false;
    setClock(clockFromMs);
    if (held.track != nullptr) change(held, true);
}

void stop() {
    auto state = ready();
    if (open == nullptr) return;
    SinkLock lock;
    open = nullptr;
    paused = false;
    held = {};
    change({}, false);
}

void follow(Track& next) {
    auto state = ready();
    SinkLock lock;
    next.setRate(timeline->rate());
    const std::optional<std::int64_t> end = timeline->endOf(open);
    timeline->follow(&next);
    if (open == nullptr || paused || timeline->playing() == open || !end) return;
    // The open track's sound has all been rendered: what was rendered after it is taken back from
    // its end, unless that is heard already.
    timeline->replace(std::max(changeFrom(true), *end), {&next, 0}, false, false);
    if (hasSink()) {
        opened.sink.takeBackFrom(timeline->rendered());
        opened.sink.start();
    }
}

void unfollow() {
    auto state = ready();
    SinkLock lock;
    if (std::optional<std::int64_t> joined = timeline->joinedAt()) {
        const std::int64_t from = std::max(changeFrom(true), *joined);
        timeline->replace(from, {}, false, from > *joined);
        if (hasSink()) {
            opened.sink.takeBackFrom(timeline->rendered());
            opened.sink.start();
        }
    }
    timeline->follow(nullptr);
}

void advance(Track& next) {
    auto state = ready();
    SinkLock lock;
    const bool joined = timeline->joined(&next);
    open = &next;
    paused = false;
    held = {};
    setClock(0);
    if (!joined) change({&next, 0}, false);
    timeline->follow(nullptr);
}

void forget(const Track& track) {
    auto state = ready();
    SinkLock lock;
    timeline->forget(&track);
    if (open == &track) open = nullptr;
    if (held.track == &track) held = {};
}

std::optional<std::int64_t> msUntilEnd() {
    auto state = ready();
    if (!hasSink() || open == nullptr || paused) return std::nullopt;
    SinkLock lock;
    const std::int64_t heard = opened.sink.playhead(0).heard;
    const std::optional<std::int64_t> end = timeline->endOf(open);
    if (heard < 0 || !end) return std::nullopt;
    return std::max<std::int64_t>(0, msIn(*end - heard, timeline->rate()));
}

double volume() {
    auto state = ready();
    SinkLock lock;
    return hasSink() ? opened.sink.volume() : -1;
}

void setVolume(double volume) {
    auto state = ready();
    SinkLock lock;
    if (hasSink()) opened.sink.setVolume(volume);
}

void finish() {
    std::int64_t until = 0;
    {
        std::unique_lock<std::mutex> state(*guard);
        if (timeline == nullptr) return;  // nothing ever played
        // A sink still being opened may yet be there to fade out, or have something to say.
        answered->wait_for(state, kLastOpenWait, [] { return firstAnswer; });
        if (!hasSink() || opened.silent) return;
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
            auto state = ready();
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
