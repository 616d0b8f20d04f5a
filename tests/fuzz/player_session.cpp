// A whole run of the player on the fake platform with arbitrary typed input: every command, the
// help, jump and directory prompts, tracks that end while nothing is typed. It must end by itself
// once the input ends, keep at most one device open, and print nothing but its own clean text.
#include <string>
#include <string_view>

#include "app/player.h"
#include "tests/fake/fake_platform.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The player's own text: UTF-8 messages, names and numbers, line ends; no control bytes and no
// stray high bytes from a cut character or an unterminated buffer.
bool isCleanText(std::string_view text) {
    for (std::size_t k = 0; k < text.size();) {
        const auto c = static_cast<unsigned char>(text[k]);
        const std::size_t length = c < 0x80 ? 1 : c >= 0xc2 && c < 0xf5 ? 2 + (c >= 0xe0) + (c >= 0xf0) : 0;
        if (length == 0 || k + length > text.size() || (c < 0x20 && c != '\n') || c == 0x7f) return false;
        for (std::size_t j = 1; j < length; ++j)
            if ((static_cast<unsigned char>(text[k + j]) & 0xc0) != 0x80) return false;
        k += length;
    }
    return true;
}

void addTrack(const std::string& dir, const std::string& name, std::uint32_t ms) {
    fake::addFile(dir + "/" + name);
    fake::setLengthMs(name, ms);
}

// A small library with the awkward cases: an extension the device does not take, a directory
// and a silent file among the tracks, a directory with a blank in its name, one without tracks,
// and one with more tracks than the list holds.
void buildTree() {
    addTrack("/m", "a.mp3", 3000);
    addTrack("/m", "b.MP3", 2500);
    addTrack("/m", "c d.mp3", 0);
    addTrack("/m", "e.Mp3", 1000);
    fake::addDirectory("/m/x.mp3");
    addTrack("/m/sub", "s.mp3", 1000);
    addTrack("/m/my music", "q.mp3", 1000);  // reached by a quoted answer only
    fake::addDirectory("/empty");
    for (int k = 0; k < 60; ++k) addTrack("/big", "t" + std::to_string(100 + k) + ".mp3", 1500);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fake::reset();
    buildTree();
    fake::setRandom({7, 3, 12, 0, 45, 1, 2, 99});
    // The first byte: piece size, and whether the pieces come fast or far enough apart for tracks
    // to end between them.
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = data[0] % 32 + 1;
    const std::int64_t gapMs = (data[0] & 0x20) != 0 ? 700 : 10;
    for (std::size_t from = 0; from < text.size(); from += piece)
        fake::typeAt(static_cast<std::int64_t>(from / piece) * gapMs, text.substr(from, piece));

    int status = ::runPlayer();
    FUZZ_REQUIRE(status == 0 || status == 1);
    FUZZ_REQUIRE(isCleanText(fake::output()));

    // Every open, whether the file could be opened or not, is closed before the next.
    bool opened = false;
    for (const fake::DeviceCall& call : fake::deviceCalls()) {
        if (call.what == "open") {
            FUZZ_REQUIRE(!opened);
            opened = true;
        }
        if (call.what == "close") opened = false;
    }
    return 0;
}
