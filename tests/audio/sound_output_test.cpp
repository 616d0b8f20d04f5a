// What the POSIX sound service plays, read back from SDL's disk output (see disk_capture.h):
// positions, pause and resume, and the next track, each through the device logic as the player
// drives it. A program of its own: while the output runs, the driver may hold its stdio stream
// blocked on the pipe, and nothing here may flush every stream (as death tests and output capture
// do).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/backend.h"
#include "audio/device.h"
#include "audio/posix/output_format.h"
#include "tests/audio/disk_capture.h"
#include "tests/audio/tone_signal.h"

namespace {

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

std::size_t framesOf(double seconds) { return static_cast<std::size_t>(seconds * sound::kRate); }

// Every test of this program plays into SDL's disk output, set up before anything can open it.
class CaptureEnvironment : public ::testing::Environment {
    void SetUp() override { disk_capture::start(); }
};
const auto* const kCapture = ::testing::AddGlobalTestEnvironment(new CaptureEnvironment);

class SoundOutput : public ::testing::Test {
protected:
    void TearDown() override {
        closeDevice();
        disk_capture::drainToSilence();
    }
};

struct PlayCase {
    const char* label;
    const char* name;
    // Audio in front of the music that only a LAME tag would let the decoder drop: lame's encoder
    // delay plus the decoder's, 1105 samples at the file's rate.
    double leadInSeconds;
};

class PlayFromPosition : public SoundOutput, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayFromPosition, TheFileComesOutFromTwelveSecondsOn) {
    ASSERT_EQ(openAndPlay(fixture(GetParam().name), 12 * 1000), 0);
    std::vector<float> audio = disk_capture::fromFirstSound(framesOf(2.6));
    ASSERT_EQ(audio.size(), framesOf(2.6));
    EXPECT_EQ(tone_signal::expectSignalFrom(audio, 12.0 - GetParam().leadInSeconds), 2);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PlayFromPosition,
                         ::testing::Values(PlayCase{"VbrXing", "vbr-xing.mp3", 0},
                                           PlayCase{"VbrNoXing", "vbr-no-xing.mp3", 1105.0 / 44100},
                                           PlayCase{"Mono22k", "mono22k.mp3", 1105.0 / 22050},
                                           PlayCase{"Wav", "tone.wav", 0}),
                         [](const auto& info) { return std::string(info.param.label); });

// Removes every run of at least minRun exact zeros (the output's silence); returns how many.
int removeSilences(std::vector<float>& audio, std::size_t minRun) {
    std::vector<float> kept;
    int removed = 0;
    std::size_t k = 0;
    while (k < audio.size()) {
        std::size_t run = 0;
        while (k + run < audio.size() && audio[k + run] == 0.0f) ++run;
        if (run >= minRun) {
            ++removed;
        } else {
            kept.insert(kept.end(), audio.begin() + static_cast<std::ptrdiff_t>(k),
                        audio.begin() + static_cast<std::ptrdiff_t>(k + run));
        }
        k += run;
        if (k < audio.size()) kept.push_back(audio[k++]);
    }
    audio = std::move(kept);
    return removed;
}

TEST_F(SoundOutput, ResumeContinuesFromThePausePoint) {
    ASSERT_EQ(openAndPlay(fixture("vbr-xing.mp3"), 12 * 1000), 0);
    std::vector<float> audio = disk_capture::fromFirstSound(framesOf(0.3));
    pauseDevice();
    // Whatever was buffered before the pause comes out first, then silence.
    std::size_t silent = 0;
    while (silent < 4096 && audio.size() < framesOf(5)) {
        std::vector<float> block = disk_capture::next(1024);
        if (block.empty()) break;
        for (float x : block) {
            audio.push_back(x);
            silent = x == 0.0f ? silent + 1 : 0;
        }
    }
    ASSERT_GE(silent, 4096u) << "the pause did not silence the output";
    resumeDevice();
    std::vector<float> after = disk_capture::next(framesOf(2.0));
    audio.insert(audio.end(), after.begin(), after.end());

    EXPECT_EQ(removeSilences(audio, 256), 1);
    // Without the pause, the music is unbroken: the changes at 13 s and 14 s sit where they belong.
    EXPECT_EQ(tone_signal::expectSignalFrom(audio, 12.0), 2);
}

TEST_F(SoundOutput, TheNextTrackPlaysOnTheSameOutput) {
    // Closed while the audio thread is busy with it: the thread must let go of it first.
    ASSERT_EQ(openAndPlay(fixture("mono22k.mp3"), 5000), 0);
    ASSERT_EQ(disk_capture::fromFirstSound(framesOf(0.2)).size(), framesOf(0.2));
    closeDevice();
    disk_capture::drainToSilence();

    ASSERT_EQ(openAndPlay(fixture("tone.wav"), 12500), 0);
    std::vector<float> audio = disk_capture::fromFirstSound(framesOf(2.0));
    EXPECT_EQ(tone_signal::expectSignalFrom(audio, 12.5), 2);
}

// The tone of audio in Hz, from its zero crossings.
double pitchOf(const std::vector<float>& audio) {
    int crossings = 0;
    for (std::size_t k = 1; k < audio.size(); ++k) crossings += (audio[k - 1] < 0) != (audio[k] < 0);
    return crossings / 2.0 * sound::kRate / static_cast<double>(audio.size());
}

// Bytes this process has read from files and pipes so far.
std::uint64_t bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

// The joined file (500 Hz at 8 kHz mono, then 1500 Hz at 48 kHz stereo) forty times over. Each
// part is heard at its own pitch, and a seek (close, open, play from) lands by time across the
// changes of format, with the frame index of the first open: the file is not read again.
TEST_F(SoundOutput, JoinedFormatsPlayAtTheirPitchAndSeeksLandWithoutRereading) {
    namespace fs = std::filesystem;
    const fs::path path = fs::path(::testing::TempDir()) / "joined-40.mp3";
    {
        std::ifstream in(fixture("joined.mp3"), std::ios::binary);
        const std::string joined((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(path, std::ios::binary);
        for (int k = 0; k < 40; ++k) out << joined;
    }
    const std::uint32_t joinedMs = [] {
        backend::DeviceId id = backend::open(backend::Format::MpegAudio, fixture("joined.mp3").c_str());
        std::uint32_t ms = 0;
        EXPECT_TRUE(backend::lengthMs(id, ms));
        backend::close(id);
        return ms;
    }();
    std::uint64_t before = bytesRead();
    ASSERT_EQ(openAndPlay(path.string(), 0), 0);
    EXPECT_GE(bytesRead() - before, fs::file_size(path));  // the first open scans the whole file
    EXPECT_NEAR(trackLengthSeconds(), joinedMs * 40 / 1000.0, 1.0);
    EXPECT_NEAR(pitchOf(disk_capture::fromFirstSound(framesOf(0.2))), 500, 25);
    for (std::uint32_t copy : {7u, 23u, 38u}) {
        for (bool high : {false, true}) {
            const std::uint32_t at = copy * joinedMs + (high ? joinedMs - 1500 : 1500);
            closeDevice();
            disk_capture::drainToSilence();
            before = bytesRead();
            ASSERT_EQ(openAndPlay(path.string(), static_cast<std::int32_t>(at)), 0);
            EXPECT_LT(bytesRead() - before, fs::file_size(path) / 4) << at << " ms";
            EXPECT_NEAR(pitchOf(disk_capture::fromFirstSound(framesOf(0.2))), high ? 1500 : 500, 25)
                << at << " ms";
        }
    }
}

}  // namespace
