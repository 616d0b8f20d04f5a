// The POSIX sound service on files: lengths, files that can't play, and the end of the process
// while a file plays. Headless: the output, when one opens, is SDL's dummy driver.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <mpg123.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/backend.h"
#include "audio/device.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

// A 16-bit mono PCM wave file of 4000 frames of silence that declares the given rate.
void writeWave(const fs::path& path, std::uint32_t rate) {
    std::ofstream out(path, std::ios::binary);
    auto word = [&](std::uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out.put(static_cast<char>(value >> (8 * k)));
    };
    const std::uint32_t dataBytes = 2 * 4000;
    out << "RIFF";
    word(36 + dataBytes, 4);
    out << "WAVEfmt ";
    word(16, 4);
    word(1, 2);  // PCM
    word(1, 2);  // mono
    word(rate, 4);
    word(rate * 2, 4);
    word(2, 2);
    word(16, 2);
    out << "data";
    word(dataBytes, 4);
    for (std::uint32_t k = 0; k < dataBytes; ++k) out.put('\0');
}

// No test here should open the output; should one, it stays silent and needs no sound card.
class DummyOutput : public ::testing::Environment {
    void SetUp() override { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }
};
const auto* const kDummyOutput = ::testing::AddGlobalTestEnvironment(new DummyOutput);

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

std::uint32_t backendLengthMs(const std::string& path, backend::Format format) {
    backend::DeviceId id = backend::open(format, path.c_str());
    EXPECT_NE(id, 0u) << path;
    std::uint32_t ms = 0;
    EXPECT_TRUE(backend::lengthMs(id, ms));
    backend::close(id);
    return ms;
}

TEST(SoundFiles, LengthIsWhatCanBeDecoded) {
    // The tagged VBR file and the WAV say their length exactly: the 15 s of the signal.
    EXPECT_EQ(backendLengthMs(fixture("vbr-xing.mp3"), backend::Format::MpegAudio), 15000u);
    EXPECT_EQ(backendLengthMs(fixture("tone.wav"), backend::Format::Wave), 15000u);
    // Untagged files (their headers give only an estimate) and a file cut short (its tag still
    // promises 15 s) are as long as a decode to the end.
    for (const char* name : {"cbr.mp3", "vbr-no-xing.mp3", "mono22k.mp3", "truncated.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(backendLengthMs(fixture(name), backend::Format::MpegAudio), decodedMs(fixture(name)));
    }
    EXPECT_LT(decodedMs(fixture("truncated.mp3")), 10000u);
    // 3 s at 8 kHz, then 3 s at 48 kHz: each part at its own rate, the encoders' padding included.
    std::uint32_t joined = backendLengthMs(fixture("joined.mp3"), backend::Format::MpegAudio);
    EXPECT_GE(joined, 6000u);
    EXPECT_LT(joined, 6300u);

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
    {
        // An MPEG frame header and then noise: a decoder that looks for MPEG audio in it complains.
        std::ofstream sync(dir / "sync.wav", std::ios::binary);
        sync << "\xff\xfb\x90\x64";
        std::uint32_t x = 777;
        for (int k = 0; k < 3000; ++k) {
            x = x * 1664525u + 1013904223u;
            sync.put(static_cast<char>(x >> 24));
        }
    }
    // Wave files whose rates no converter should be asked to handle.
    writeWave(dir / "slow.wav", 8);
    writeWave(dir / "fast.wav", 100000000);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const char* name : {"missing.mp3", "empty.mp3", "empty.wav", "noise.mp3", "noise.wav", "folder.mp3",
                             "pipe.mp3", "mpeg.wav", "sync.wav", "slow.wav", "fast.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(openAndPlay((dir / name).string(), 0), 0);
        EXPECT_EQ(trackLengthSeconds(), 0);
        pauseDevice();
        resumeDevice();
        closeDevice();
    }
    EXPECT_EQ(backend::open(backend::Format::MpegAudio, "/dev/zero"), 0u);  // endless, were it read
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
            openAndPlay(fixture("vbr-xing.mp3"), 3000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::exit(3);
        },
        testing::ExitedWithCode(3), "^$");
}

// With no sound server to answer and no device (ALSA given an empty configuration), the output is
// SDL's, on its dummy driver: the tracks keep their time, and the player says so once, however
// many tracks follow.
TEST(SoundFilesDeathTest, NoServerAndNoDevicePlaySilentlyAndSaySoOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::unsetenv("SDL_AUDIODRIVER");
            ::setenv("PULSE_SERVER", "unix:/nonexistent/quavelin-no-server", 1);
            ::setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
            openAndPlay(fixture("cbr.mp3"), 0);
            closeDevice();
            openAndPlay(fixture("tone.wav"), 0);
            std::exit(trackLengthSeconds() == 15 ? 3 : 4);
        },
        testing::ExitedWithCode(3), "^quavelin: no usable sound device; tracks play silently\\.\n$");
}

}  // namespace
