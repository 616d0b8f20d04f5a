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

// A tone of ms milliseconds at half scale, from the given phase; frame n is sample(n).
class Tone final : public sound::Decoder {
public:
    Tone(double hz, double phase, std::int64_t ms) : hz_(hz), phase_(phase), ms_(ms) {}
    float sample(std::int64_t n) const {
        return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz_ * double(n) / rate_ + phase_));
    }
    std::int64_t lengthMs() const override { return ms_; }
    void setOutputRate(long rate) override { rate_ = rate; }
    void continueInto(sound::Decoder*) override {}
    bool seek(std::int64_t frame) override {
        at_ = frame;
        return true;
    }
    std::size_t read(float* out, std::size_t frames) override {
        const auto n = static_cast<std::size_t>(
            std::clamp<std::int64_t>(ms_ * rate_ / 1000 - at_, 0, static_cast<std::int64_t>(frames)));
        for (std::size_t k = 0; k < n; ++k)
            out[2 * k] = out[2 * k + 1] = sample(at_ + static_cast<std::int64_t>(k));
        at_ += static_cast<std::int64_t>(n);
        return n;
    }

private:
    double hz_, phase_;
    std::int64_t ms_;
    long rate_ = sound::kDefaultRate;
    std::int64_t at_ = 0;
};

// A track of a tone, which the output forgets before it goes.
struct ToneTrack {
    explicit ToneTrack(double hz, double phase = 0, std::int64_t ms = 20'000)
        : tone(new Tone(hz, phase, ms)), track(std::unique_ptr<sound::Decoder>(tone)) {}
    ~ToneTrack() { output::forget(track); }
    Tone* tone;
    sound::Track track;
};

std::int64_t ms(std::int64_t n) { return sound::framesIn(n, kRate); }

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

struct Tracks {
    ToneTrack a{1000};
    ToneTrack b{1000};
};

// Each command as the service carries it out: a seek and a track by number close the track and
// play again; commands typed together come a fraction of a millisecond apart.
using Command = std::function<void(Tracks&)>;
const Command kPause = [](Tracks&) { output::pause(); };
const Command kResume = [](Tracks&) { output::resume(); };
const Command kForward = [](Tracks& t) {
    output::stop();
    output::play(t.a.track, 12'000);
};
const Command kBack = [](Tracks& t) {
    output::stop();
    output::play(t.a.track, 300);
};
const Command kNext = [](Tracks& t) {
    output::stop();
    output::play(t.b.track, 0);
};
const Command kStop = [](Tracks&) { output::stop(); };
const Command kExit = [](Tracks&) { output::finish(); };

// The output opens its sink at its first call, on a thread of its own; each case starts once it is
// open, so that where a change lands is where the sink says from the first command on.
class OutputChanges : public testing::Test {
protected:
    void SetUp() override { output::stop(); }
};
using OutputJoins = OutputChanges;

TEST_F(OutputChanges, NoCommandAndNoPairTypedTogetherClicksOnAnySink) {
    const std::vector<std::pair<std::string, std::vector<Command>>> kTyped{
        {"p", {kPause}},
        {"p r", {kPause, kResume}},
        {"f", {kForward}},
        {"d", {kBack}},
        {"n", {kNext}},
        {"stop", {kStop}},
        {"exit", {kExit}},
        {"d f d", {kBack, kForward, kBack}},
        {"f f", {kForward, kForward}},
        {"n n", {kNext, kNext}},
        {"f p", {kForward, kPause}},
    };
    for (const auto& [sinkName, sink] : kSinks) {
        for (const auto& [typed, commands] : kTyped) {
            SCOPED_TRACE(sinkName + ": " + typed);
            Tracks tracks;
            scripted::reset(sink);
            output::play(tracks.a.track, 2000);
            scripted::hear(ms(300));
            for (const Command& command : commands) {
                command(tracks);
                scripted::hear(5);
            }
            scripted::hear(ms(600));
            output::stop();
            scripted::hear(ms(1600));
            EXPECT_LT(largestStep(scripted::heard()), 1.1F * kToneStep);
            EXPECT_EQ(scripted::heard().back(), 0.0F);
        }
    }
}

// The process ends right after: by then the listener has heard the fade-out to its end.
TEST_F(OutputChanges, TheEndOfTheRunReturnsOnceItsFadeOutIsHeard) {
    for (const auto& [sinkName, sink] : kSinks) {
        SCOPED_TRACE(sinkName);
        Tracks tracks;
        scripted::reset(sink);
        output::play(tracks.a.track, 0);
        scripted::hear(ms(300));
        const std::size_t before = scripted::heard().size();
        output::finish();
        const std::vector<float>& heard = scripted::heard();
        EXPECT_EQ(heard.back(), 0.0F);
        EXPECT_GE(heard.size(), before + sound::kFadeFrames);
        output::stop();
    }
}

TEST_F(OutputChanges, AChangeFadesOutFromWhereTheSoundIsHeardAndResumesWhereTheFadeEnded) {
    for (const auto& [sinkName, sink] : kSinks) {
        SCOPED_TRACE(sinkName);
        Tracks tracks;
        scripted::reset(sink);
        const std::int64_t first = scripted::changePoint();  // where frame 0 of the tone is heard
        output::play(tracks.a.track, 0);
        scripted::hear(ms(300));
        const std::int64_t at = scripted::changePoint();
        output::pause();
        scripted::hear(ms(200));
        const std::int64_t resumedAt = scripted::changePoint();
        output::resume();
        scripted::hear(ms(1500));
        const std::vector<float>& heard = scripted::heard();
        const Tone& tone = *tracks.a.tone;
        // Untouched up to the change, faded from there, silent once the fade is over.
        EXPECT_EQ(heard[at - 1], tone.sample(at - 1 - first));
        EXPECT_NE(heard[at + 1], tone.sample(at + 1 - first));
        EXPECT_NEAR(heard[at + 1], tone.sample(at + 1 - first), 0.01);
        EXPECT_EQ(heard[at + sound::kFadeFrames], 0.0F);
        // The pause kept its place at the end of the fade: the tone goes on from there.
        const std::int64_t kept = at + sound::kFadeFrames - first;
        EXPECT_EQ(heard[resumedAt + sound::kFadeFrames], tone.sample(kept + sound::kFadeFrames));
        output::stop();
    }
}

TEST_F(OutputJoins, ATrackStartsWithItsOwnFirstFrameAndTheNextJoinsItFrameForFrame) {
    for (const auto& [sinkName, sink] : kSinks) {
        // Queued while the first plays, after all of it is rendered, and after its end is heard.
        for (const std::int64_t queuedAfterMs : {200, 900, 1100}) {
            SCOPED_TRACE(sinkName + ", queued after " + std::to_string(queuedAfterMs) + " ms");
            ToneTrack a(1000, std::numbers::pi / 2, 1000);
            ToneTrack b(600, std::numbers::pi / 3, 1000);
            scripted::reset(sink);
            const std::int64_t start = scripted::changePoint();
            output::play(a.track, 0);
            scripted::hear(ms(queuedAfterMs));
            const bool inTime = queuedAfterMs < 1000 && (sink.kind != Kind::Blind || queuedAfterMs < 900);
            output::follow(b.track);
            scripted::hear(ms(1800));
            const std::vector<float>& heard = scripted::heard();
            EXPECT_EQ(heard[start], a.tone->sample(0));
            const std::int64_t join = start + ms(1000);
            EXPECT_EQ(heard[join - 1], a.tone->sample(ms(1000) - 1));
            if (inTime) {
                for (std::int64_t k = 0; k < 100; ++k) ASSERT_EQ(heard[join + k], b.tone->sample(k)) << k;
            } else {
                // Too late to join: it starts as soon as it can, with its own first frame.
                const auto begins =
                    std::find_if(heard.begin() + join, heard.end(), [](float x) { return x != 0; });
                ASSERT_NE(begins, heard.end());
                EXPECT_EQ(*begins, b.tone->sample(0));
            }
            output::stop();
        }
    }
}

// A pause and a resume just before the join, after the follower's first frames were rendered.
TEST_F(OutputJoins, AChangeBeforeTheJoinLeavesTheFollowerJoinedToTheEnd) {
    for (const auto& [sinkName, sink] : kSinks) {
        SCOPED_TRACE(sinkName);
        ToneTrack a(1000, 0, 1000);
        ToneTrack b(600, 0.1, 1000);  // none of its first frames is a frame of a
        scripted::reset(sink);
        output::play(a.track, 0);
        output::follow(b.track);
        scripted::hear(ms(800));
        output::pause();
        scripted::hear(ms(100));
        output::resume();
        scripted::hear(ms(1000));
        const std::vector<float>& heard = scripted::heard();
        const auto joined = std::find(heard.begin(), heard.end(), b.tone->sample(0));
        ASSERT_NE(joined, heard.end());
        EXPECT_EQ(*(joined - 1), a.tone->sample(ms(1000) - 1));
        EXPECT_EQ(*(joined + 1), b.tone->sample(1));
        output::stop();
    }
}

TEST_F(OutputJoins, AWithdrawnTrackIsNotHeardOrFadesOutWhereItWasHeard) {
    for (const auto& [sinkName, sink] : kSinks) {
        if (sink.kind == Kind::Blind) continue;  // it holds no more than a buffer: nothing to withdraw
        for (const std::int64_t withdrawnAfterMs : {900, 1200}) {
            SCOPED_TRACE(sinkName + ", withdrawn after " + std::to_string(withdrawnAfterMs) + " ms");
            ToneTrack a(1000, 0, 1000);
            ToneTrack b(1000, 0, 1000);
            scripted::reset(sink);
            const std::int64_t start = scripted::changePoint();
            output::play(a.track, 0);
            output::follow(b.track);
            scripted::hear(ms(withdrawnAfterMs));
            output::unfollow();
            scripted::hear(ms(1000));
            const std::vector<float>& heard = scripted::heard();
            const std::int64_t join = start + ms(1000);
            EXPECT_EQ(heard[join - 1], a.tone->sample(ms(1000) - 1));
            if (withdrawnAfterMs < 1000)
                EXPECT_TRUE(std::all_of(heard.begin() + join, heard.end(), [](float x) { return x == 0; }));
            else
                EXPECT_LT(largestStep(heard), 1.1F * kToneStep);
            EXPECT_EQ(heard.back(), 0.0F);
        }
    }
}

}  // namespace
