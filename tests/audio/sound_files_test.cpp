// The POSIX sound service on files: lengths, files that can't play, and the end of the process
// while a file plays. Headless: the output, when one opens, is SDL's dummy driver.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <mpg123.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/backend.h"
#include "audio/device.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }

// No test here should open the output; should one, it stays silent and needs no sound card.
const bool kDummyOutput = [] { return ::setenv("SDL_AUDIODRIVER", "dummy", 1) == 0; }();

// The reference for files whose headers can't tell their length: the milliseconds that a decode
// to the end yields. It scans first, as the player does: in a cut file the scan finds fewer
// frames than the tag promises, and the decoder then keeps the encoder's lead-in.
std::uint32_t decodedMs(const std::string& path) {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_MONO_LEFT, 0.0);
    EXPECT_EQ(mpg123_open(h, path.c_str()) | mpg123_scan(h), MPG123_OK);
    long rate = 0;
    int channels = 0, encoding = 0, result = MPG123_OK;
    mpg123_getformat(h, &rate, &channels, &encoding);
    std::vector<unsigned char> buffer(1 << 16);
    std::uint64_t bytes = 0;
    for (std::size_t got = 0; result == MPG123_OK || result == MPG123_NEW_FORMAT; bytes += got)
        result = mpg123_read(h, buffer.data(), buffer.size(), &got);
    mpg123_delete(h);
    return static_cast<std::uint32_t>(bytes / mpg123_encsize(encoding) * 1000 /
                                      static_cast<std::uint64_t>(rate));
}

std::uint32_t lengthMs(const std::string& name, backend::Format format = backend::Format::MpegAudio) {
    backend::DeviceId id = backend::open(format, fixture(name).c_str());
    std::uint32_t ms = 0;
    EXPECT_TRUE(backend::lengthMs(id, ms)) << name;
    backend::close(id);
    return ms;
}

TEST(SoundFiles, LengthIsWhatCanBeDecoded) {
    // The tagged VBR file and the WAV say their length exactly: the 15 s of the signal.
    EXPECT_EQ(lengthMs("vbr-xing.mp3"), 15000u);
    EXPECT_EQ(lengthMs("tone.wav", backend::Format::Wave), 15000u);
    // Untagged files (their headers give only an estimate) and a file cut short (its tag still
    // promises 15 s) are as long as a decode to the end.
    for (const char* name : {"cbr.mp3", "vbr-no-xing.mp3", "mono22k.mp3", "truncated.mp3"})
        EXPECT_EQ(lengthMs(name), decodedMs(fixture(name))) << name;
    EXPECT_LT(decodedMs(fixture("truncated.mp3")), 10000u);
}

// Every file of fixtures/unplayable (see make-fixtures), a directory, a named pipe (opening it
// would block), a missing file and one that never ends.
TEST(SoundFiles, ThatCannotPlayOpenNothingAndStaySilent) {
    const fs::path dir = fs::path(::testing::TempDir()) / "quavelin-unplayable";
    fs::remove_all(dir);
    fs::copy(fixture("unplayable"), dir);
    fs::create_directory(dir / "folder.mp3");
    ASSERT_EQ(::mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const fs::directory_entry& file : fs::directory_iterator(dir)) {
        EXPECT_EQ(openAndPlay(file.path().string(), 0), 0);
        EXPECT_EQ(trackLengthSeconds(), 0) << file.path();
        closeDevice();
    }
    EXPECT_EQ(backend::open(backend::Format::MpegAudio, (dir / "missing.mp3").c_str()), 0u);
    EXPECT_EQ(backend::open(backend::Format::MpegAudio, "/dev/zero"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
}

// The process ends through std::exit while the audio thread decodes and plays: it must end at
// once, with its own status, and nothing may be torn down under the thread. With no sound server
// to answer and no device (ALSA given an empty configuration), the output is SDL's dummy driver:
// the tracks keep their time, and the player says so once, however many tracks follow.
TEST(SoundFilesDeathTest, ExitWhilePlayingSilentlyWithNoServerNorDeviceSaysSoOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::unsetenv("SDL_AUDIODRIVER");
            ::setenv("PULSE_SERVER", "unix:/nonexistent/quavelin-no-server", 1);
            ::setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
            openAndPlay(fixture("cbr.mp3"), 0);
            closeDevice();
            openAndPlay(fixture("tone.wav"), 3000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::exit(trackLengthSeconds() == 15 ? 3 : 4);
        },
        testing::ExitedWithCode(3), "^quavelin: no usable sound device; tracks play silently\\.\n$");
}

}  // namespace
