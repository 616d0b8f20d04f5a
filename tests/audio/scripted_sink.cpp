#include "tests/audio/scripted_sink.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include "audio/posix/output_format.h"
#include "audio/posix/sink_choice.h"
#include "audio/posix/tuning.h"

namespace scripted {
namespace {

constexpr std::int64_t kBlindBuffer = 8192;

// The output opens its sink on a thread of its own; the test's thread renders, as a sink's thread
// would, with the sink locked, and only once the output has started it.
std::atomic<QuavelinRender> render{nullptr};
std::atomic<bool> started{false};
std::recursive_mutex sinkLock;
Setup setup;
std::int64_t origin = 0;      // the stream frame heard first after the reset
std::vector<float> stream;    // what the sink holds, by stream frame (both channels)
std::int64_t heardTo = 0;     // stream frames heard
std::deque<float> inGraph;    // read ahead and not heard yet, as read (left channel)
std::vector<float> listened;  // what was heard since the reset (left channel)

std::int64_t written() { return static_cast<std::int64_t>(stream.size()) / sound::kChannels; }
std::int64_t readTo() { return heardTo + setup.heldFrames; }

// Keeps a second queued past what is read, as a sound server asks for it.
void fill() {
    // SDL renders a buffer ahead of what is heard; a sound server a second past what it has read.
    const std::int64_t target = setup.kind == Kind::Blind
                                    ? heardTo + setup.heldFrames
                                    : readTo() + sound::framesIn(sound::kQueuedMs, kRate);
    if (!started || written() >= target) return;
    std::lock_guard<std::recursive_mutex> locked(sinkLock);
    const std::size_t at = stream.size();
    stream.resize(static_cast<std::size_t>(target) * sound::kChannels);
    render.load()(stream.data() + at, static_cast<std::size_t>(target) - at / sound::kChannels);
}

// A server that never plays again what it has read keeps it as it was when read.
void readAhead() {
    if (setup.kind != Kind::ReadsAhead) return;
    fill();
    while (heardTo + static_cast<std::int64_t>(inGraph.size()) < readTo())
        inGraph.push_back(stream[static_cast<std::size_t>(heardTo + std::ssize(inGraph)) * sound::kChannels]);
}

void lock() { sinkLock.lock(); }
void unlock() { sinkLock.unlock(); }

QuavelinPlayhead playhead(int asked) {
    // The output sleeps between the questions it asks without a change to make: time passes.
    if (asked == 0) hear(sound::framesIn(5, kRate));
    switch (setup.kind) {
        case Kind::Rewinds: return {heardTo, heardTo};
        case Kind::ReadsAhead: return {heardTo, readTo()};
        case Kind::Blind: break;
    }
    return {-1, written()};
}

// A sink that can take nothing back plays on what it holds.
void takeBackFrom(std::int64_t from) {
    if (setup.kind != Kind::Blind) stream.resize(static_cast<std::size_t>(from) * sound::kChannels);
}

void start() {
    started = true;
    fill();
    readAhead();
}

double volume() { return -1; }
void setVolume(double) {}
void close() {}

}  // namespace

void reset(Setup newSetup) {
    setup = newSetup;
    origin = heardTo = written();
    inGraph.clear();
    listened.clear();
    fill();
    readAhead();
}

void hear(std::int64_t frames) {
    while (!started) std::this_thread::yield();  // the output's opener has yet to start it
    for (std::int64_t k = 0; k < frames; ++k, ++heardTo) {
        fill();
        readAhead();
        if (setup.kind == Kind::ReadsAhead) {
            listened.push_back(inGraph.front());
            inGraph.pop_front();
        } else {
            listened.push_back(stream[static_cast<std::size_t>(heardTo) * sound::kChannels]);
        }
    }
}

const std::vector<float>& heard() { return listened; }

std::int64_t changePoint() {
    const QuavelinPlayhead at = playhead(1);
    const std::int64_t ahead = at.heard < 0 ? 0 : at.heard + sound::framesIn(sound::kWriteAheadMs, kRate);
    // Never past what is written: the change then comes right after it.
    return std::min(std::max(ahead, at.firstReplaceable), written()) - origin;
}

}  // namespace scripted

namespace sound {

SinkChoice openSink(QuavelinRender renderFrames, QuavelinResync, QuavelinRestart) {
    scripted::render = renderFrames;
    SinkChoice choice;
    choice.sink = QuavelinSink{scripted::kRate,    scripted::lock,         scripted::unlock,
                               scripted::playhead, scripted::takeBackFrom, scripted::start,
                               scripted::volume,   scripted::setVolume,    scripted::close};
    choice.keepsFrames = true;
    choice.bufferFrames = scripted::kBlindBuffer;  // what SDL's buffer holds, unheard as far as it can tell
    return choice;
}

// Never asked for: the scripted sink is no server that failed to answer.
std::optional<SinkChoice> openServerSink(QuavelinRender, QuavelinResync, QuavelinRestart) {
    return std::nullopt;
}

}  // namespace sound
