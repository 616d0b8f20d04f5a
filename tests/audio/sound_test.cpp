// The POSIX sound service with its real decoders and SDL output, driven through the device logic
// as the player drives it. Headless: SDL's disk driver writes the output into a pipe that the tests
// read (see disk_capture.h), or the dummy driver keeps time.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <mpg123.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/backend.h"
#include "audio/device.h"
#include "audio/sdl/output_format.h"
#include "tests/audio/disk_capture.h"
#include "tests/audio/tone_signal.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

std::size_t framesOf(double seconds) { return static_cast<std::size_t>(seconds * sdl_backend::kRate); }

// Every test of this program plays into SDL's disk output, set up before anything can open it.
class CaptureEnvironment : public ::testing::Environment {
    void SetUp() override { disk_capture::start(); }
};
const auto* const kCapture = ::testing::AddGlobalTestEnvironment(new CaptureEnvironment);

// The reference for files whose headers can't tell their length: the milliseconds that a decode
// to the end yields. It scans first, as the player does: in a cut file the scan finds fewer
// frames than the tag promises, and the decoder then keeps the encoder's lead-in.
std::uint32_t decodedMs(const std::string& path) {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    EXPECT_EQ(mpg123_open(h, path.c_str()), MPG123_OK);
    EXPECT_EQ(mpg123_scan(h), MPG123_OK);
    long rate = 0;
    int channels = 0, encoding = 0;
    EXPECT_EQ(mpg123_getformat(h, &rate, &channels, &encoding), MPG123_OK);
    std::vector<unsigned char> buffer(1 << 16);
    std::uint64_t bytes = 0;
    std::size_t got = 0;
    int result = MPG123_OK;
    while (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
        result = mpg123_read(h, buffer.data(), buffer.size(), &got);
        bytes += got;
    }
    int frameBytes = channels * mpg123_encsize(encoding);
    mpg123_delete(h);
    return static_cast<std::uint32_t>(bytes / static_cast<std::uint64_t>(frameBytes) * 1000u /
                                      static_cast<std::uint64_t>(rate));
}

std::uint32_t backendLengthMs(const std::string& path, const char* deviceType) {
    backend::DeviceId id = backend::open(deviceType, path.c_str());
    EXPECT_NE(id, 0u) << path;
    std::uint32_t ms = 0;
    EXPECT_TRUE(backend::lengthMs(id, ms));
    backend::close(id);
    return ms;
}

TEST(SoundFiles, LengthIsWhatCanBeDecoded) {
    // The tagged VBR file and the WAV say their length exactly: the 15 s of the signal.
    EXPECT_EQ(backendLengthMs(fixture("vbr-xing.mp3"), "MPEGVideo"), 15000u);
    EXPECT_EQ(backendLengthMs(fixture("tone.wav"), "waveaudio"), 15000u);
    // Untagged files (their headers give only an estimate) and a file cut short (its tag still
    // promises 15 s) are as long as a decode to the end.
    for (const char* name : {"cbr.mp3", "vbr-no-xing.mp3", "mono22k.mp3", "truncated.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(backendLengthMs(fixture(name), "MPEGVideo"), decodedMs(fixture(name)));
    }
    EXPECT_LT(decodedMs(fixture("truncated.mp3")), 10000u);

    std::uint32_t ms = 0;
    EXPECT_FALSE(backend::lengthMs(0, ms));
    EXPECT_FALSE(backend::lengthMs(987654, ms));
}

TEST(SoundFiles, ThatCannotPlayOpenNothingAndStaySilent) {
    std::string pattern = (fs::temp_directory_path() / "quavelin-bad-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    std::ofstream(dir / "empty.mp3").flush();
    std::ofstream(dir / "empty.wav").flush();
    {
        // Bytes of a fixed pseudo-random sequence: the same "noise" on every run.
        std::ofstream noiseMp3(dir / "noise.mp3", std::ios::binary);
        std::ofstream noiseWav(dir / "noise.wav", std::ios::binary);
        std::uint32_t x = 12345;
        for (int k = 0; k < 40000; ++k) {
            x = x * 1664525u + 1013904223u;
            noiseMp3.put(static_cast<char>(x >> 24));
            noiseWav.put(static_cast<char>(x >> 16));
        }
    }
    fs::create_directory(dir / "folder.mp3");
    ASSERT_EQ(::mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);  // opening it would block
    fs::copy_file(fixture("cbr.mp3"), dir / "mpeg.wav");       // not a wave file, whatever its name

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const char* name : {"missing.mp3", "empty.mp3", "empty.wav", "noise.mp3", "noise.wav", "folder.mp3",
                             "pipe.mp3", "mpeg.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(openAndPlay((dir / name).c_str(), nullptr, 0), 0);
        EXPECT_EQ(gDeviceId, 0u);
        EXPECT_EQ(trackLengthSeconds(), 0);
        pauseDevice();
        resumeDevice();
        closeDevice();
    }
    backend::pause(42);
    backend::resume(42);
    backend::close(42);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    fs::remove_all(dir);
}

// The process ends through std::exit while the audio thread decodes and plays: it must end at
// once, with its own status, and nothing may be torn down under the thread.
TEST(SoundFilesDeathTest, ExitWhilePlayingEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("SDL_AUDIODRIVER", "dummy", 1);
            openAndPlay(fixture("vbr-xing.mp3").c_str(), nullptr, 3000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::exit(3);
        },
        testing::ExitedWithCode(3), "^$");
}

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
    ASSERT_EQ(openAndPlay(fixture(GetParam().name).c_str(), nullptr, 12 * 1000), 0);
    ASSERT_NE(gDeviceId, 0u);
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
    ASSERT_EQ(openAndPlay(fixture("vbr-xing.mp3").c_str(), nullptr, 12 * 1000), 0);
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
    ASSERT_EQ(openAndPlay(fixture("mono22k.mp3").c_str(), nullptr, 5000), 0);
    ASSERT_EQ(disk_capture::fromFirstSound(framesOf(0.2)).size(), framesOf(0.2));
    closeDevice();
    disk_capture::drainToSilence();

    ASSERT_EQ(openAndPlay(fixture("tone.wav").c_str(), nullptr, 12500), 0);
    std::vector<float> audio = disk_capture::fromFirstSound(framesOf(2.0));
    EXPECT_EQ(tone_signal::expectSignalFrom(audio, 12.5), 2);
}

}  // namespace
