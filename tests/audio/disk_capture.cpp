#include "tests/audio/disk_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "audio/posix/output_format.h"

namespace disk_capture {
namespace {

namespace fs = std::filesystem;

int pipeFd = -1;
fs::path pipeDir;

// More frames than the pipe, the stdio buffer of the driver and one output buffer hold together.
constexpr std::size_t kSettledSilence = 32768;
constexpr auto kStall = std::chrono::seconds(20);

bool readExactly(char* out, std::size_t bytes) {
    auto deadline = std::chrono::steady_clock::now() + kStall;
    std::size_t got = 0;
    while (got < bytes) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd p{pipeFd, POLLIN, 0};
        ::poll(&p, 1, 100);
        ssize_t n = ::read(pipeFd, out + got, bytes - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0 || errno == EAGAIN) {
            // No writer yet (the output opens at the first play) or nothing written yet.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

// At the end of the process nobody reads the pipe any more, while the driver (and the C library's
// final flush of the driver's stream) may still write: with the read end closed those writes fail
// at once instead of waiting for a reader forever.
void stopReading() {
    ::close(pipeFd);
    pipeFd = -1;
    std::error_code ignored;
    fs::remove_all(pipeDir, ignored);
}

}  // namespace

void start() {
    if (pipeFd >= 0) return;
    std::string pattern = (fs::temp_directory_path() / "quavelin-sound-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    pipeDir = pattern;
    fs::path pipePath = pipeDir / "output.raw";
    ASSERT_EQ(::mkfifo(pipePath.c_str(), 0600), 0);
    // Opened for reading first and without blocking, so that the driver's open finds a reader.
    pipeFd = ::open(pipePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(pipeFd, 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::atexit(stopReading);
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", pipePath.c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "0", 1);
}

std::vector<float> next(std::size_t frames) {
    std::vector<float> interleaved(frames * sound::kChannels);
    if (!readExactly(reinterpret_cast<char*>(interleaved.data()), interleaved.size() * sizeof(float))) {
        ADD_FAILURE() << "the sound output stopped delivering";
        return {};
    }
    std::vector<float> left(frames);
    for (std::size_t k = 0; k < frames; ++k) left[k] = interleaved[k * sound::kChannels];
    return left;
}

std::vector<float> fromFirstSound(std::size_t frames) {
    constexpr std::size_t kBlock = 1024;
    const std::size_t patience = std::size_t{20} * sound::kRate;  // frames: 20 s of output
    for (std::size_t read = 0; read < patience; read += kBlock) {
        std::vector<float> block = next(kBlock);
        if (block.empty()) return {};
        auto sound = std::find_if(block.begin(), block.end(), [](float x) { return x != 0.0f; });
        if (sound == block.end()) continue;
        std::vector<float> result(sound, block.end());
        if (result.size() < frames) {
            std::vector<float> rest = next(frames - result.size());
            result.insert(result.end(), rest.begin(), rest.end());
        }
        result.resize(std::min(result.size(), frames));
        return result;
    }
    ADD_FAILURE() << "no sound came out";
    return {};
}

void drainToSilence() {
    if (pipeFd < 0) return;
    std::size_t silent = 0;
    while (silent < kSettledSilence) {
        std::vector<float> block = next(1024);
        if (block.empty()) return;
        for (float x : block) silent = x == 0.0f ? silent + 1 : 0;
    }
}

}  // namespace disk_capture
