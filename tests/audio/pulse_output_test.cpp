// The output through a real sound server: a private PulseAudio server with a null sink, started
// for this program by CTest (see CMakeLists.txt), and its monitor recorded with parec. Only sound
// and silence are asserted; the waits are limits, not measures.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "audio/device.h"

namespace {

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

// The null sink's monitor, as 10 ms blocks of mono frames.
class Monitor {
public:
    Monitor()
        : parec_(::popen("parec -d quavelin.monitor --format=float32le --channels=1 --rate=44100 "
                         "--latency-msec=10",
                         "r")) {}
    ~Monitor() {
        if (parec_ != nullptr) ::pclose(parec_);
    }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Reads until a tenth of a second in a row is sound (or silence); false when none comes
    // within limitSeconds of audio.
    bool reaches(bool sound, double limitSeconds = 5) {
        int run = 0;
        for (int block = 0; block < limitSeconds * 100; ++block) {
            run = isSound() == sound ? run + 1 : 0;
            if (run == 10) return true;
        }
        return false;
    }
    // Whether the next seconds hold no sound at all.
    bool staysSilent(double seconds) {
        for (int block = 0; block < seconds * 100; ++block)
            if (isSound()) return false;
        return true;
    }

private:
    bool isSound() {
        std::array<float, 441> block{};
        if (parec_ == nullptr ||
            std::fread(block.data(), sizeof(float), block.size(), parec_) != block.size())
            return false;
        float peak = 0;
        for (float x : block) peak = std::max(peak, std::fabs(x));
        return peak > 0.01f;
    }

    std::FILE* parec_;
};

TEST(PulseOutput, PauseIsSilentAndResumeStopAndNextTrackAreHeard) {
    Monitor monitor;
    ASSERT_TRUE(monitor.reaches(false));
    ASSERT_EQ(openAndPlay(fixture("vbr-xing.mp3"), 3000), 0);
    EXPECT_TRUE(monitor.reaches(true));
    // What the server had queued (a second) is not heard after the pause, nor after a stop:
    // silence comes within half a second of audio.
    pauseDevice();
    EXPECT_TRUE(monitor.reaches(false, 0.5));
    EXPECT_TRUE(monitor.staysSilent(2.5));
    resumeDevice();
    EXPECT_TRUE(monitor.reaches(true));
    closeDevice();
    EXPECT_TRUE(monitor.reaches(false, 0.5));
    EXPECT_TRUE(monitor.staysSilent(2.5));
    ASSERT_EQ(openAndPlay(fixture("tone.wav"), 5000), 0);
    EXPECT_TRUE(monitor.reaches(true));
    closeDevice();
}

}  // namespace
