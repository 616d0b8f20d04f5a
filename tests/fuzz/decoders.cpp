// Arbitrary bytes as the contents of an .mp3 file, through the real decoder, which delivers the
// output format itself: a file either opens with a sane length or is refused, and an opened one
// plays from any position, while its scan runs and after, without reading or writing outside its
// buffers. No sound
// device is opened: the track is rendered here, as the output's thread would.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "audio/posix/decoder.h"
#include "audio/posix/output_format.h"
#include "audio/posix/track.h"
#include "audio/posix/track_file.h"
#include "tests/fuzz/fuzz_check.h"

// A header can make the sound library size a buffer from an absurd rate; the allocation then
// fails and the file is refused, as with the system's allocator. AddressSanitizer would stop
// the run there instead, so it is told to fail the allocation in the same way. Reads and writes
// outside a buffer are still caught.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name is the sanitizer's own hook.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // First byte: where to start, in tenths of the length (past the end too).
    const unsigned startTenths = data[0] % 12;
    // The file lives in memory and goes with its descriptors, whatever ends the run; it is opened
    // by its path, as a track is.
    const int fd = ::memfd_create("quavelin-fuzz-track", MFD_CLOEXEC);
    FUZZ_REQUIRE(fd >= 0 && ::write(fd, data + 1, size - 1) == static_cast<ssize_t>(size - 1));
    std::optional<sound::TrackFile> file =
        sound::openTrackFile(("/proc/self/fd/" + std::to_string(fd)).c_str());
    ::close(fd);
    FUZZ_REQUIRE(file.has_value());

    std::unique_ptr<sound::Decoder> decoder = sound::openMpegFile(std::move(*file));
    if (!decoder) return 0;
    // The first frames' estimate, or the scan's count, which may find no whole frame of sound.
    FUZZ_REQUIRE(decoder->lengthMs() >= 0);
    sound::Track track(std::move(decoder));
    track.moveTo(track.frames() * startTenths / 10);
    // About three seconds of output: enough to cross frames, seek points and the end of a short
    // file, little enough to keep every run quick.
    std::array<float, std::size_t{sound::kBufferFrames} * sound::kChannels> out{};
    for (int k = 0; k <= 3 * sound::kDefaultRate / sound::kBufferFrames; ++k)
        track.read(out.data(), sound::kBufferFrames);
    return 0;
}
