// The output through a real sound server: a private PulseAudio server with a null sink, started
// for this program by CTest (see CMakeLists.txt), and its monitor recorded with parec. Only sound
// and silence are asserted; the waits are limits, not measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/device.h"

namespace {

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

using Monitor = std::unique_ptr<std::FILE, decltype(&::pclose)>;

// Whether `run` blocks of 10 ms in a row are sound (or silence) within limitSeconds of the monitor.
bool reaches(std::FILE* monitor, bool sound, double limitSeconds = 5, int run = 10) {
    for (int block = 0, found = 0; block < limitSeconds * 100; ++block) {
        std::array<float, 441> frames{};
        const bool heard =
            std::fread(frames.data(), sizeof(float), frames.size(), monitor) == frames.size() &&
            std::ranges::any_of(frames, [](float x) { return std::fabs(x) > 0.01f; });
        if ((found = heard == sound ? found + 1 : 0) == run) return true;
    }
    return false;
}

TEST(PulseOutput, PauseAndStopAreSilentAndResumeAndNextTrackAreHeard) {
    Monitor monitor(
        ::popen("parec -d quavelin.monitor --format=float32le --channels=1 --rate=44100 --latency-msec=10",
                "r"),
        &::pclose);
    ASSERT_TRUE(monitor && reaches(monitor.get(), false));
    ASSERT_EQ(openAndPlay(fixture("vbr-xing.mp3"), 3000), 0);
    EXPECT_TRUE(reaches(monitor.get(), true));
    // What the server had queued (a second) is not heard after the pause, nor after a stop: silence
    // comes within half a second of audio, and not a block of sound in the 2.5 s after.
    auto fallsSilent = [&] {
        return reaches(monitor.get(), false, 0.5) && !reaches(monitor.get(), true, 2.5, 1);
    };
    pauseDevice();
    EXPECT_TRUE(fallsSilent());
    resumeDevice();
    EXPECT_TRUE(reaches(monitor.get(), true));
    closeDevice();
    EXPECT_TRUE(fallsSilent());
    ASSERT_EQ(openAndPlay(fixture("tone.wav"), 5000), 0);
    EXPECT_TRUE(reaches(monitor.get(), true));
    closeDevice();
}

}  // namespace
