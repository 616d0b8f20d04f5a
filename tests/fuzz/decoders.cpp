// Arbitrary bytes as the contents of an .mp3 or .wav file, through the real decoders and the
// conversion to the output format: a file either opens with a sane format and length, or is
// refused; an opened one plays from any position, converted, without reading or writing outside
// its buffers, and the MPEG decoder prints nothing however broken the file. No sound device is
// opened: the track is rendered here, as the audio thread would.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"
#include "audio/posix/track.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The file each input is written to, in memory where the system allows; it exists only while one
// input is tried, so that nothing is left behind however the run ends.
const std::string& scratchFile() {
    static const std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/quavelin-fuzz-" + std::to_string(::getpid()) + ".track";
    return path;
}

void writeScratch(const std::uint8_t* data, std::size_t size) {
    int fd = ::open(scratchFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_REQUIRE(fd >= 0);
    for (std::size_t done = 0; done < size;) {
        ssize_t n = ::write(fd, data + done, size - done);
        FUZZ_REQUIRE(n > 0);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace

// A header can make the sound library size a buffer from an absurd rate; the allocation then
// fails and the file is refused, as with the system's allocator. AddressSanitizer would stop
// the run there instead, so it is told to fail the allocation in the same way. Reads and writes
// outside a buffer are still caught.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name is the sanitizer's own hook.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

// What the libraries print goes to a file while a track is opened and played, so that it can be
// looked at; the sanitizers report to the real standard error all the same.
class CapturedStderr {
public:
    CapturedStderr() {
        static const int realStderr = [] {
            int fd = ::dup(STDERR_FILENO);
            __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
            return fd;
        }();
        static std::FILE* const file = std::tmpfile();
        FUZZ_REQUIRE(realStderr >= 0 && file != nullptr);
        real_ = realStderr;
        file_ = file;
        std::fflush(stderr);
        FUZZ_REQUIRE(::ftruncate(::fileno(file_), 0) == 0);
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~CapturedStderr() {
        std::fflush(stderr);
        ::dup2(real_, STDERR_FILENO);
    }
    CapturedStderr(const CapturedStderr&) = delete;
    CapturedStderr& operator=(const CapturedStderr&) = delete;

    std::string text() const {
        std::fflush(stderr);
        std::string printed(static_cast<std::size_t>(::lseek(::fileno(file_), 0, SEEK_END)), '\0');
        if (!printed.empty()) FUZZ_REQUIRE(::pread(::fileno(file_), printed.data(), printed.size(), 0) >= 0);
        return printed;
    }

private:
    int real_ = -1;
    std::FILE* file_ = nullptr;
};

void openAndPlay(bool mpeg, unsigned startTenths) {
    std::unique_ptr<sound::Decoder> decoder =
        mpeg ? sound::openMpegFile(scratchFile().c_str()) : sound::openWaveFile(scratchFile().c_str());
    if (!decoder) return;
    FUZZ_REQUIRE(decoder->rate() > 0 && decoder->channels() > 0 && decoder->lengthFrames() > 0);
    // Below 1 kHz, SDL's resampler needs seconds for each output buffer (a 1 Hz WAV: 3 s for a few
    // seconds of output), which would turn the short fuzz runs into timeouts; such files are
    // opened and measured, not played.
    const bool playable = decoder->rate() >= 1000;

    std::unique_ptr<sound::Track> track = sound::Track::create(std::move(decoder));
    if (!track) return;
    std::uint32_t lengthMs = track->lengthMs();
    track->startAt(static_cast<std::uint32_t>(std::uint64_t{lengthMs} * startTenths / 10));
    if (!playable) return;
    // About three seconds of output: enough to cross frames, seek points and the end of a short
    // file, little enough to keep every run quick.
    std::array<Uint8, std::size_t{sound::kBufferFrames} * sound::kBytesPerFrame> out{};
    const int buffers = 3 * sound::kRate / sound::kBufferFrames + 1;
    for (int k = 0; k < buffers; ++k) {
        track->render(out.data(), static_cast<int>(out.size()));
        if (k == buffers / 2) {
            track->setPaused(true);
            track->render(out.data(), static_cast<int>(out.size()));
            for (Uint8 byte : out) FUZZ_REQUIRE(byte == 0);  // paused: silence
            track->setPaused(false);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // First byte: which decoder; second: where to start, in tenths of the length (past the end too).
    const bool mpeg = (data[0] & 1) == 0;
    const unsigned startTenths = data[1] % 12;
    writeScratch(data + 2, size - 2);

    std::string printed;
    {
        CapturedStderr capture;
        openAndPlay(mpeg, startTenths);
        printed = capture.text();
    }
    ::unlink(scratchFile().c_str());
    // libmpg123 is told to keep quiet. (libsndfile is not asked: it probes a file for every format
    // it knows, MPEG included, and its own MPEG decoder may print.)
    if (mpeg && !printed.empty()) std::fprintf(stderr, "printed:\n%s", printed.c_str());
    FUZZ_REQUIRE(!mpeg || printed.empty());
    return 0;
}
