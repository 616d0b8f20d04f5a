// Arbitrary bytes as the contents of an .mp3 or .wav file, through the real decoders and the
// conversion to the output format: a file either opens with a sane format and length or is
// refused, and an opened one plays from any position, converted, without reading or writing
// outside its buffers. No sound device is opened: the track is rendered here, as the audio thread
// would.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>

#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"
#include "audio/posix/track.h"
#include "tests/fuzz/fuzz_check.h"

// A header can make the sound library size a buffer from an absurd rate; the allocation then
// fails and the file is refused, as with the system's allocator. AddressSanitizer would stop
// the run there instead, so it is told to fail the allocation in the same way. Reads and writes
// outside a buffer are still caught.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name is the sanitizer's own hook.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // First byte: which decoder; second: where to start, in tenths of the length (past the end too).
    const bool mpeg = (data[0] & 1) == 0;
    const unsigned startTenths = data[1] % 12;
    // The file lives in memory and goes with its descriptor, whatever ends the run.
    const int fd = ::memfd_create("quavelin-fuzz-track", MFD_CLOEXEC);
    FUZZ_REQUIRE(fd >= 0 && ::write(fd, data + 2, size - 2) == static_cast<ssize_t>(size - 2));
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    std::unique_ptr<sound::Decoder> decoder =
        mpeg ? sound::openMpegFile(path.c_str()) : sound::openWaveFile(path.c_str());
    if (decoder) {
        FUZZ_REQUIRE(decoder->rate() > 0 && decoder->channels() > 0 && decoder->lengthFrames() > 0);
        // Below 1 kHz SDL's resampler needs seconds for each output buffer, which would turn the
        // short fuzz runs into timeouts: such files are opened and measured, not played.
        const bool playable = decoder->rate() >= 1000;
        std::unique_ptr<sound::Track> track = sound::Track::create(std::move(decoder));
        if (track) {
            track->startAt(static_cast<std::uint32_t>(std::uint64_t{track->lengthMs()} * startTenths / 10));
            // About three seconds of output: enough to cross frames, seek points and the end of a
            // short file, little enough to keep every run quick.
            std::array<Uint8, std::size_t{sound::kBufferFrames} * sound::kBytesPerFrame> out{};
            for (int k = 0; playable && k <= 3 * sound::kRate / sound::kBufferFrames; ++k)
                track->render(out.data(), static_cast<int>(out.size()));
        }
    }
    ::close(fd);
    return 0;
}
