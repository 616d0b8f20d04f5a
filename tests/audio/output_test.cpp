// The output's one rule for every change, through the real output and timeline, on sinks whose
// timing the test scripts (tests/audio/scripted_sink.h): what the listener hears at each command
// and at commands typed together, where a change lands, where a track starts and how the next one
// joins it. The tracks are tones made here, frame by frame, so that every frame heard can be told.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "audio/posix/output.h"
#include "audio/posix/track.h"
#include "audio/posix/tuning.h"
#include "tests/audio/scripted_sink.h"

namespace {

namespace output = sound::output;
using scripted::Kind;
using scripted::kRate;

std::int64_t ms(std::int64_t n) { return sound::framesIn(n, kRate); }

// A tone of ms milliseconds at half scale from the given phase, whose frame n is sample(n).
class Tone final : public sound::Decoder {
public:
    Tone(double hz, double phase, std::int64_t ms) : hz_(hz), phase_(phase), frames_(::ms(ms)) {}
    float sample(std::int64_t n) const {
        return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz_ * double(n) / kRate + phase_));
    }
    std::int64_t lengthMs() const override { return sound::msIn(frames_, kRate); }
    void setOutputRate(long) override {}
    void continueInto(sound::Decoder*) override {}
    bool seek(std::int64_t frame) override { return (at_ = frame) >= 0; }
    std::size_t read(float* out, std::size_t frames) override {
        std::size_t k = 0;
        for (; k < frames && at_ < frames_; ++k, ++at_) out[2 * k] = out[2 * k + 1] = sample(at_);
        return k;
    }

private:
    double hz_, phase_;
    std::int64_t frames_, at_ = 0;
};

// A track of such a tone, which the output forgets before it goes.
struct ToneTrack {
    explicit ToneTrack(double hz, double phase = 0, std::int64_t ms = 20'000)
        : tone(new Tone(hz, phase, ms)), track(std::unique_ptr<sound::Decoder>(tone)) {}
    ~ToneTrack() { output::forget(track); }
    float sample(std::int64_t n) const { return tone->sample(n); }
    Tone* tone;
    sound::Track track;
};

// The largest step between neighbouring frames heard: a 1 kHz tone at half scale steps by
// 0.5 * 2 pi * 1000 / 48000 at most; a cut is a step of up to the whole amplitude.
float largestStep(const std::vector<float>& audio) {
    float step = 0;
    for (std::size_t k = 1; k < audio.size(); ++k) step = std::max(step, std::fabs(audio[k] - audio[k - 1]));
    return step;
}
constexpr float kToneStep = 0.5F * 2 * std::numbers::pi_v<float> * 1000 / kRate;

// The sinks the rule must hold on: a sound server that plays again all it has not played, with
// nothing held ahead, 10 ms, and 400 ms (its own latency when nothing else plays); one that reads a
// quantum ahead and never plays it again; and SDL's buffer, which nothing is taken back from.
const std::vector<std::pair<std::string, scripted::Setup>> kSinks{
    {"rewinds, 0 ms held", {Kind::Rewinds, 0}},         {"rewinds, 10 ms held", {Kind::Rewinds, ms(10)}},
    {"rewinds, 400 ms held", {Kind::Rewinds, ms(400)}}, {"reads 21 ms ahead", {Kind::ReadsAhead, 1024}},
    {"blind, SDL's buffer ahead", {Kind::Blind, 8192}},  // as scripted_sink.cpp says it holds
};

TEST(OutputChanges, NoCommandAndNoPairTypedTogetherClicksOnAnySink) {
    // Each command as the service carries it out (a seek and a track by number close the track and
    // play again); commands typed together come a fraction of a millisecond apart.
    ToneTrack a(1000), b(1000);
    const std::function<void()> p = output::pause, r = output::resume, stop = output::stop,
                                exit = output::finish;
    const std::function<void()> f = [&] { stop(), output::play(a.track, 12'000); };
    const std::function<void()> d = [&] { stop(), output::play(a.track, 300); };
    const std::function<void()> n = [&] { stop(), output::play(b.track, 0); };
    const std::vector<std::pair<std::string, std::vector<std::function<void()>>>> kTyped{
        {"p", {p}},      {"p r", {p, r}},  {"f", {f}},       {"d", {d}},
        {"n", {n}},      {"stop", {stop}}, {"exit", {exit}}, {"d f d", {d, f, d}},
        {"f f", {f, f}}, {"n n", {n, n}},  {"f p", {f, p}}};
    for (const auto& [sinkName, sink] : kSinks) {
        for (const auto& [typed, commands] : kTyped) {
            SCOPED_TRACE(sinkName + ": " + typed);
            scripted::reset(sink);
            output::play(a.track, 2000);
            scripted::hear(ms(300));
            for (const auto& command : commands) command(), scripted::hear(5);
            scripted::hear(ms(600));
            output::stop();
            scripted::hear(ms(1600));
            EXPECT_LT(largestStep(scripted::heard()), 1.1F * kToneStep);
            EXPECT_EQ(scripted::heard().back(), 0.0F);
        }
    }
}

// A pause fades out from 10 ms after where the sound is heard and keeps its place where the fade
// ends; the resume goes on from there. The end of the run returns once its fade has been heard.
TEST(OutputChanges, AChangeFadesOutFromWhereTheSoundIsHeard) {
    for (const auto& [sinkName, sink] : kSinks) {
        SCOPED_TRACE(sinkName);
        ToneTrack a(1000);
        scripted::reset(sink);
        const std::int64_t first = scripted::changePoint();  // where frame 0 of the tone is heard
        output::play(a.track, 0);
        scripted::hear(ms(300));
        const std::int64_t at = scripted::changePoint();
        output::pause();
        scripted::hear(ms(200));
        const std::int64_t resumedAt = scripted::changePoint();
        output::resume();
        scripted::hear(ms(300));
        const std::vector<float>& heard = scripted::heard();
        EXPECT_EQ(heard[at - 1], a.sample(at - 1 - first));
        EXPECT_NE(heard[at + 1], a.sample(at + 1 - first));
        EXPECT_NEAR(heard[at + 1], a.sample(at + 1 - first), 0.01);
        EXPECT_EQ(heard[at + sound::kFadeFrames], 0.0F);
        EXPECT_EQ(heard[resumedAt + sound::kFadeFrames], a.sample(at - first + 2 * sound::kFadeFrames));
        const std::size_t before = heard.size();
        output::finish();
        EXPECT_EQ(heard.back(), 0.0F);
        EXPECT_GE(heard.size(), before + sound::kFadeFrames);
    }
}

// a (1 s) played from its start, b queued to follow it after queuedMs; then, after changeMs, a
// change. What was heard from where a's first frame was.
std::vector<float> joined(const scripted::Setup& sink, ToneTrack& a, ToneTrack& b, std::int64_t queuedMs,
                          std::int64_t changeMs, const std::function<void()>& change) {
    scripted::reset(sink);
    const std::int64_t start = scripted::changePoint();
    output::play(a.track, 0);
    scripted::hear(ms(queuedMs));
    output::follow(b.track);
    scripted::hear(ms(changeMs));
    change();
    scripted::hear(ms(1800));
    output::stop();
    return {scripted::heard().begin() + start, scripted::heard().end()};
}

TEST(OutputJoins, ATrackStartsWithItsOwnFirstFrameAndTheNextJoinsItFrameForFrame) {
    for (const auto& [sinkName, sink] : kSinks) {
        ToneTrack a(1000, std::numbers::pi / 2, 1000), b(600, 0.1, 1000);  // no frame of b is one of a's
        const std::int64_t join = ms(1000);
        auto joinsAt = [&](const std::vector<float>& heard, std::int64_t at) {
            return heard[at - 1] == a.sample(join - 1) && heard[at] == b.sample(0) &&
                   heard[at + 1] == b.sample(1);
        };
        // Queued while a plays, and after all of it is rendered (SDL has played it by then).
        for (const std::int64_t queuedMs : {200, 900}) {
            SCOPED_TRACE(sinkName + ", queued after " + std::to_string(queuedMs) + " ms");
            const std::vector<float> heard = joined(sink, a, b, queuedMs, 0, [] {});
            EXPECT_EQ(heard[0], a.sample(0));
            if (sink.kind != Kind::Blind || queuedMs < 900) {
                EXPECT_TRUE(joinsAt(heard, join));
            }
        }
        SCOPED_TRACE(sinkName);
        // After its end is heard: b starts as soon as it can, with its own first frame.
        std::vector<float> heard = joined(sink, a, b, 1100, 0, [] {});
        const auto starts = std::find_if(heard.begin() + join, heard.end(), [](float x) { return x != 0; });
        EXPECT_TRUE(starts != heard.end() && *starts == b.sample(0));
        // A pause and a resume just before the join, after b's first frames were rendered.
        heard =
            joined(sink, a, b, 0, 800, [] { output::pause(), scripted::hear(ms(100)), output::resume(); });
        const auto at = std::find(heard.begin(), heard.end(), b.sample(0)) - heard.begin();
        EXPECT_TRUE(at < std::ssize(heard) - 1 && joinsAt(heard, at));
        if (sink.kind == Kind::Blind) continue;  // it holds no more than a buffer: nothing to withdraw
        // Withdrawn before the join is heard, b is never heard; after, it fades out.
        heard = joined(sink, a, b, 0, 900, output::unfollow);
        EXPECT_TRUE(std::all_of(heard.begin() + join, heard.end(), [](float x) { return x == 0; }));
        heard = joined(sink, a, b, 0, 1200, output::unfollow);
        EXPECT_LT(largestStep({heard.begin() + join + 10, heard.end()}), 1.1F * kToneStep);
    }
}

}  // namespace
