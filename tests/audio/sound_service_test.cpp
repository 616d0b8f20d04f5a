// The POSIX sound service with its real decoders and outputs, through the device logic as the
// player drives it: lengths, files that can't play, and what comes out. CTest runs every test in
// a process of its own: the PulseOutput tests against a private server (see CMakeLists.txt), the
// others on SDL's drivers. Run by hand, the test that captures stdio comes first: once the disk
// output plays, its driver may hold its stdio stream blocked on the pipe, and nothing may flush
// every stream any more.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/device.h"
#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"
#include "audio/posix/rate_converter.h"
#include "audio/posix/track.h"
#include "audio/posix/track_file.h"
#include "audio/sound_service.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(QUAVELIN_AUDIO_FIXTURES) + "/" + name; }
std::size_t framesOf(double seconds) { return static_cast<std::size_t>(seconds * sound::kDefaultRate); }
// The tone of audio in Hz, from its zero crossings.
double pitchOf(const std::vector<float>& audio) {
    int crossings = 0;
    for (std::size_t k = 1; k < audio.size(); ++k) crossings += (audio[k - 1] < 0) != (audio[k] < 0);
    return crossings / 2.0 * sound::kDefaultRate / static_cast<double>(audio.size());
}

// Bytes this process has read from files and pipes so far.
std::uint64_t bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    for (std::uint64_t value = 0; io >> key >> value;)
        if (key == "rchar:") return value;
    return 0;
}

// The open file's length once the device has made it exact (it scans the file in the background);
// 0 when that takes longer than 10 s.
std::int64_t exactLengthMs() {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (TrackLength length = trackLength(); !length.estimate) return length.ms;
    return 0;
}

std::int64_t lengthMs(const std::string& name) {
    EXPECT_NE(soundService().open(fixture(name).c_str()), 0) << name;
    std::int64_t ms = exactLengthMs();
    soundService().close();
    return ms;
}

TEST(SoundFiles, LengthIsWhatCanBeDecoded) {
    // The tagged files say their length exactly, whatever their rate: the 15 s of the signal, and
    // the 1.9 s of the sines at 48 and 8 kHz.
    EXPECT_EQ(lengthMs("vbr-xing.mp3"), 15000);
    EXPECT_EQ(lengthMs("sine48k.mp3"), 1900);
    EXPECT_EQ(lengthMs("sine8k.mp3"), 1900);
    // Untagged files, CBR or VBR, whose first frames give only an estimate (15 117 and 2 530 ms for
    // the first two), are as long as `mpg123 --gapless -w` decodes them once scanned; so is a file
    // cut short (its tag still promises 15 s), plus the 25 ms lead-in (1105 samples) that a tag no
    // longer trusted does not take off.
    for (auto [name, ms] : {std::pair{"cbr.mp3", 15046},
                            {"vbr-no-xing.mp3", 15046},
                            {"mono22k.mp3", 15072},
                            {"truncated.mp3", 9013 + 25}})
        EXPECT_EQ(lengthMs(name), ms) << name;
}

// A long file without a Xing header is still being scanned when it has opened: its length is at
// first the estimate of its first frames (the bus test sees it made exact later). Closed, with four
// others opened after it, nothing needs its scan any more, and it stops early.
TEST(SoundFiles, ALongFileOpensBeforeItsScanWhichStopsOnceNothingNeedsIt) {
    const fs::path path = QUAVELIN_LONG_UNTAGGED;
    const std::uint64_t before = bytesRead();
    ASSERT_NE(soundService().open(path.c_str()), 0);
    EXPECT_TRUE(trackLength().estimate);
    soundService().close();
    for (const char* name : {"cbr.mp3", "vbr-xing.mp3", "mono22k.mp3", "sine48k.mp3", "sine8k.mp3"})
        lengthMs(name);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // a whole scan takes a fraction of it
    EXPECT_LT(bytesRead() - before, fs::file_size(path) / 2);
}

// Every file of fixtures/unplayable (see make-fixtures), a directory and a named pipe (opening it
// would block).
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
        EXPECT_EQ(trackLength().ms, 0) << file.path();
        closeDevice();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
}

// What plays is read back from SDL's disk output. The driver writes into a named pipe that this
// process reads, so with SDL_DISKAUDIODELAY=0 the audio thread runs exactly as fast as a test
// reads; a stalled output blocks a read, and CTest's timeout ends the test. The pipe is made and
// named to SDL at the first call, before anything plays. Opened for reading and writing, it
// neither blocks nor ever reads an end. At the end nobody reads any more while the
// driver (and the C library's final flush of its stream) may still write: with the pipe closed
// first those writes fail instead of waiting.
std::FILE* capture() {
    static const fs::path path =
        fs::path(::testing::TempDir()) / ("quavelin-output-" + std::to_string(::getpid()));
    static std::FILE* const pipe = [] {
        ::mkfifo(path.c_str(), 0600);
        std::signal(SIGPIPE, SIG_IGN);
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
        ::setenv("SDL_DISKAUDIODELAY", "0", 1);
        std::atexit([] {
            std::fclose(pipe);
            fs::remove(path);
        });
        return std::fopen(path.c_str(), "r+");
    }();
    return pipe;
}

// The next frames of the output's left channel.
std::vector<float> next(std::size_t frames, std::FILE* from = capture()) {
    std::vector<float> both(frames * sound::kChannels), left;
    EXPECT_EQ(std::fread(both.data(), sizeof(float), both.size(), from), both.size());
    for (std::size_t k = 0; k < both.size(); k += sound::kChannels) left.push_back(both[k]);
    return left;
}

const char* const kRecordMonitor =
    "parec -d quavelin.monitor --format=float32le --channels=2 --rate=44100 --latency-msec=10";

// Whether `run` blocks of 10 ms in a row are sound (or silence) within limitSeconds of the monitor.
bool reaches(std::FILE* monitor, bool sound, double limitSeconds = 5, int run = 10) {
    for (int block = 0, found = 0; block < limitSeconds * 100; ++block) {
        const bool heard =
            std::ranges::any_of(next(441, monitor), [](float x) { return std::fabs(x) > 0.01f; });
        if ((found = heard == sound ? found + 1 : 0) == run) return true;
    }
    return false;
}

TEST(PulseOutput, TheVolumeIsTheStreamsAndTheSoundOutlivesTheServer) {
    std::FILE* monitor = ::popen(kRecordMonitor, "r");
    ASSERT_TRUE(monitor != nullptr && reaches(monitor, false));
    ASSERT_EQ(openAndPlay(fixture("cbr.mp3"), 2000), 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(reaches(monitor, true));
    ::pclose(monitor);
    // The output's own volume is its stream's on the server, not the system's: set here, the server
    // has it; set there, as a mixer does, it is what the output says.
    auto withinTwoSeconds = [](auto holds) {
        for (int k = 0; k < 100 && !holds(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return holds();
    };
    EXPECT_NEAR(outputVolume(), 1.0, 0.01);
    setOutputVolume(0.5);
    EXPECT_TRUE(
        withinTwoSeconds([] { return std::system("pactl list sink-inputs | grep -q '/  50%'") == 0; }));
    std::system("pactl set-sink-input-volume \"$(pactl list short sink-inputs | cut -f1)\" 30%");
    EXPECT_TRUE(withinTwoSeconds([] { return std::fabs(outputVolume() - 0.3) < 0.01; }));
    // Killed and started again while a track plays, the server plays it on by itself, from where
    // the clock says the track is (second k of the signal is a tone of 300 + 100 k Hz).
    const std::string server = std::getenv("PULSE_SERVER"), dir = server.substr(5, server.rfind('/') - 5);
    const std::string script = QUAVELIN_SOURCE_DIR "/scripts/private-pulse ";
    ASSERT_EQ(
        std::system((script + "stop " + dir + " && " + script + "start " + dir + " >/dev/null").c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // back alone on it, as on a desktop
    monitor = ::popen(kRecordMonitor, "r");
    ASSERT_TRUE(monitor != nullptr && reaches(monitor, true, 2));
    // The tone of a stretch well inside a second of the track, by the clock.
    auto position = [&] {
        return 2 + std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    while (std::fmod(position(), 1.0) < 0.3 || std::fmod(position(), 1.0) > 0.6) next(441, monitor);
    const double second = std::floor(position());
    EXPECT_NEAR(pitchOf(next(2205, monitor)), 300 + 100 * second, 40) << "at second " << second;
    closeDevice();
    ::pclose(monitor);
}

// At the sink's own latency (the recorder asks for two seconds, so it does not pull the sink's down),
// the second half of the cut sine follows the first without a frame between them, and becomes the
// open file without a break; a pause is not followed by what the server held.
TEST(PulseOutput, AtTheSinksOwnLatencyAJoinHasNoGapAndAPauseNoTail) {
    std::FILE* monitor = ::popen(
        "parec -d quavelin.monitor --format=float32le --channels=2 --rate=44100 --latency-msec=2000", "r");
    ASSERT_TRUE(monitor != nullptr && reaches(monitor, false));
    ASSERT_EQ(openAndPlay(fixture("first-half.mp3"), 0), 0);
    ASSERT_TRUE(queueTrack(fixture("second-half.mp3")));
    std::vector<float> audio = next(1, monitor);
    while (audio.back() == 0.0f) audio = next(1, monitor);
    for (std::size_t silent = 0; silent < 4410;) {
        audio.push_back(next(1, monitor)[0]);
        silent = audio.back() == 0.0f ? silent + 1 : 0;
        // Once its sound is heard, the second is the open file, its sound going on as it was.
        if (audio.size() == 60'000) {
            EXPECT_TRUE(advanceToQueuedTrack());
        }
    }
    withdrawQueuedTrack();
    closeDevice();
    // As many frames of sound as the two files hold, less the silent first frame of the sine.
    EXPECT_NEAR(static_cast<double>(audio.size() - 4410), 110'249, 2);
    // A pause there leaves nothing the server held to play after its fade: what was queued past the
    // frames written over is written over too.
    ASSERT_EQ(openAndPlay(fixture("cbr.mp3"), 0), 0);
    ASSERT_TRUE(reaches(monitor, true));
    pauseDevice();
    EXPECT_TRUE(reaches(monitor, false, 1) && !reaches(monitor, true, 2.5, 1));
    closeDevice();
    ::pclose(monitor);
}

// Frames from the first sound on, skipping the silence in front of a play.
std::vector<float> fromFirstSound(std::size_t frames) {
    std::vector<float> audio = next(1);
    while (audio[0] == 0.0f) audio = next(1);
    std::ranges::copy(next(frames - 1), std::back_inserter(audio));
    return audio;
}

// Frames until the output has been silent for longer than any buffering holds (whatever played
// before is then out of the pipe); a failure when that takes more than 2 s of output.
std::vector<float> untilSilent() {
    std::vector<float> audio;
    for (std::size_t silent = 0; silent < 32768 && audio.size() < framesOf(2);) {
        audio.push_back(next(1)[0]);
        silent = audio.back() == 0.0f ? silent + 1 : 0;
    }
    EXPECT_LT(audio.size(), framesOf(2)) << "the output did not fall silent";
    return audio;
}

// The signal of every fixture at t seconds (see fixtures/make-fixtures): second k is a sine of
// 300 + 100*k Hz at half scale, from phase 0.
double signalAt(double t) {
    const int k = static_cast<int>(t);
    return t < 0 || t >= 15 ? 0 : 0.5 * std::sin(2 * std::numbers::pi * (300 + 100 * k) * (t - k));
}

// Checks that the change of tone at second `change` sits in audio (mono, the signal from `start`
// seconds on) where the signal has it: the best match of 50 ms either side within 10 ms must be
// the signal itself within half a millisecond (the 22 kHz and 4 kHz files are converted).
void expectChangeAt(const std::vector<float>& audio, double start, int change) {
    const int centre = static_cast<int>(std::lround((change - start) * sound::kDefaultRate)), window = 2205;
    int bestShift = 0;
    double best = -1;
    for (int shift = -441; shift <= 441; ++shift) {
        double dot = 0, audioEnergy = 0, signalEnergy = 0;
        for (int i = centre - window; i < centre + window; ++i) {
            const double s = signalAt(start + (i + shift) / double{sound::kDefaultRate}),
                         a = audio.at(std::size_t(i));
            dot += a * s, audioEnergy += a * a, signalEnergy += s * s;
        }
        if (dot / std::sqrt(audioEnergy * signalEnergy + 1e-30) > best)
            best = dot / std::sqrt(audioEnergy * signalEnergy + 1e-30), bestShift = shift;
    }
    EXPECT_GT(best, 0.9) << "around second " << change << " the audio is not the signal";
    EXPECT_LE(std::abs(bestShift), 22) << "the change to second " << change << " is " << bestShift << " off";
}

// Each file from 12 s on, the next track on the same output, the one before closed while it still
// played. The lead-in is the audio in front of the music that only a LAME tag would let the decoder
// drop: lame's encoder delay plus the decoder's, 1105 samples at the file's rate.
TEST(SoundOutput, FilesComeOutFromTheirPosition) {
    capture();
    for (auto [name, leadInSeconds] : {std::pair{"vbr-xing.mp3", 0.0},
                                       {"vbr-no-xing.mp3", 1105.0 / 44100},
                                       {"mono22k.mp3", 1105.0 / 22050}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(openAndPlay(fixture(name), 12 * 1000), 0);
        const std::vector<float> audio = fromFirstSound(framesOf(2.6));
        for (int change : {13, 14}) expectChangeAt(audio, 12.0 - leadInSeconds, change);
        closeDevice();
        untilSilent();
    }
}

// Noise and distortion beside a 1 kHz sine, in dB below it: what is left when the best-fitting
// sine is taken out, over 450 whole periods (19 845 frames) from `from` on. Over whole periods the
// fitted sine's energy is n (a^2 + b^2) / 2, and the rest is the whole energy less that.
double noiseAndDistortionDb(const std::vector<float>& audio, std::size_t from) {
    const std::size_t n = 19'845;
    const double w = 2 * std::numbers::pi * 1000 / sound::kDefaultRate;
    double a = 0, b = 0, all = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = audio.at(from + k);
        a += 2.0 / n * x * std::sin(w * double(k)), b += 2.0 / n * x * std::cos(w * double(k)), all += x * x;
    }
    const double sine = n * (a * a + b * b) / 2;
    return 10 * std::log10((all - sine) / sine);
}

// A 1 kHz sine at 48 and at 8 kHz comes out at the output's rate as clean as the file holds it.
TEST(SoundOutput, OtherRatesAreConvertedCleanly) {
    capture();
    for (const char* name : {"sine48k.mp3", "sine8k.mp3"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(openAndPlay(fixture(name), 300), 0);
        EXPECT_LT(noiseAndDistortionDb(fromFirstSound(framesOf(0.5)), framesOf(0.5) - 20'000), -80);
        closeDevice();
        untilSilent();
    }
}

// Every frame of a file, as its decoder gives it on its own at rate (left channel).
std::vector<float> decoded(const std::string& name, int rate = sound::kDefaultRate) {
    std::optional<sound::TrackFile> file = sound::openTrackFile(fixture(name).c_str());
    sound::Track track(sound::openMpegFile(std::move(*file)));
    track.setRate(rate);
    track.moveTo(0);
    std::vector<float> both(std::size_t{4096} * sound::kChannels), left;
    for (std::size_t got; (got = track.read(both.data(), 4096)) > 0;)
        for (std::size_t k = 0; k < got; ++k) left.push_back(both[k * sound::kChannels]);
    return left;
}

// A file queued to follow another plays right after its last frame, and two files at another rate
// than the output's go through the conversion as one stream: what is heard of a sine cut in two at
// a sample that is no frame's edge (see make-fixtures) is the two files as decoded at their own
// rate, converted as one.
TEST(SoundOutput, AQueuedFileFollowsWithoutAGapAsOneStream) {
    capture();
    ASSERT_EQ(openAndPlay(fixture("first-half48k.mp3"), 0), 0);
    ASSERT_TRUE(queueTrack(fixture("second-half48k.mp3")));
    std::vector<float> heard48 = fromFirstSound(framesOf(2.6));
    std::ranges::copy(untilSilent(), std::back_inserter(heard48));
    withdrawQueuedTrack();
    closeDevice();
    std::vector<float> native = decoded("first-half48k.mp3", 48'000);
    std::ranges::copy(decoded("second-half48k.mp3", 48'000), std::back_inserter(native));
    sound::RateConverter converter;
    std::vector<float> stereo;
    converter.setFormat(48'000, 1, stereo);
    converter.convert(native.data(), native.size(), stereo);
    converter.drain(stereo);
    std::vector<float> converted;
    for (std::size_t k = 0; k < stereo.size(); k += sound::kChannels) converted.push_back(stereo[k]);
    const auto convertedFrom = std::ranges::find_if(converted, [](float x) { return x != 0.0f; });
    ASSERT_GE(std::ssize(heard48), converted.end() - convertedFrom);
    float largest = 0;
    for (auto k = convertedFrom; k != converted.end(); ++k)
        largest = std::max(largest, std::fabs(*k - heard48[static_cast<std::size_t>(k - convertedFrom)]));
    EXPECT_LT(largest, 1e-4F) << "not the two files converted as one";
}

// The joined file (3 s of 500 Hz at 8 kHz mono, then 3 s of 1500 Hz at 48 kHz stereo) forty times
// over. Each part is heard at its own pitch, and a play from a position lands by time across the
// changes of format: the first while the file is still being scanned, which it waits for to pass
// its position; the others (close, open, play from) with the frame index of that scan, and so does
// the file queued after itself (as in loop mode). The file is scanned once, and not read again.
TEST(SoundOutput, JoinedFormatsPlayAtTheirPitchAndSeeksLandWithoutRereading) {
    capture();
    const fs::path path = QUAVELIN_JOINED_40;
    const std::int64_t joinedMs = lengthMs("joined.mp3");
    EXPECT_TRUE(joinedMs >= 6000 && joinedMs < 6300) << joinedMs;  // each part at its rate, with padding
    const std::int64_t first = 38 * joinedMs + 1500;
    for (std::int64_t at : {first, std::int64_t{0}, 7 * joinedMs + 1500, 24 * joinedMs - 1500}) {
        const std::uint64_t before = bytesRead();
        ASSERT_EQ(openAndPlay(path.string(), static_cast<std::int32_t>(at)), 0);
        EXPECT_NEAR(pitchOf(fromFirstSound(framesOf(0.2))), at % joinedMs < 3000 ? 500 : 1500, 25)
            << at << " ms";
        EXPECT_NEAR(static_cast<double>(exactLengthMs()), joinedMs * 40.0, 40.0);
        // The first open scans the whole file; the others keep to a few frames about the position.
        const std::uint64_t read = bytesRead() - before;
        EXPECT_TRUE(at == first ? read >= fs::file_size(path) : read < fs::file_size(path) / 4)
            << at << " ms: " << read;
        if (at == 0) {
            ASSERT_TRUE(queueTrack(path.string()));
            ASSERT_TRUE(advanceToQueuedTrack());
            EXPECT_NEAR(static_cast<double>(exactLengthMs()), joinedMs * 40.0, 40.0);
            EXPECT_LT(bytesRead() - before - read, fs::file_size(path) / 4) << "queued after itself";
        }
        closeDevice();
        untilSilent();
    }
}

}  // namespace
