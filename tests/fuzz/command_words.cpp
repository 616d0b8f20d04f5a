// Typed bytes through the shared input buffer and the command reader: every word comes out whole
// (cut to the reader's buffer), in order, whatever pieces the bytes arrive in and however the
// "is a key waiting" test is mixed in; every word maps to a code within the command set.
#include <array>
#include <cstring>

#include "console/command_reader.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/typed_input.h"

namespace {

constexpr CommandCode kHeldTrack = 1'000'000;

// What a word must map to, from the rules of the command set.
void checkCode(const std::string& word, CommandCode code) {
    FUZZ_REQUIRE((code >= CmdStop && code <= CmdForward10) ||
                 (code >= kTrackCodeBase && code <= kTrackCodeBase + kHeldTrack));
    char first = word.empty() ? '\0' : word[0];
    if (first == 'n') FUZZ_REQUIRE(code == CmdNext);
    if (first == 'b') FUZZ_REQUIRE(code == CmdBefore);
    if (first == 'p') FUZZ_REQUIRE(code == CmdPause);
    if (first == 'r') FUZZ_REQUIRE(code == CmdResume);
    if (first >= '0' && first <= '9') {
        std::int64_t value = 0;
        for (std::size_t k = 0; k < word.size() && word[k] >= '0' && word[k] <= '9'; ++k)
            value = std::min<std::int64_t>(value * 10 + (word[k] - '0'), kHeldTrack);
        FUZZ_REQUIRE(code == kTrackCodeBase + value);
    }
    if (code == CmdExit) FUZZ_REQUIRE(word == "exit");
    if (code == CmdForward10) FUZZ_REQUIRE(word == "f");
    if (code == CmdBack10) FUZZ_REQUIRE(word == "d");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Pass 1: the bare word reader, with the waiting test mixed in as the mode asks.
    fuzz::Typed typed = fuzz::typeInPieces(data, size);
    const std::vector<std::string> expected = fuzz::wordsOf(typed.text, 256);
    const bool askFirst = (typed.mode & 0x20) != 0;
    const bool letTimePass = (typed.mode & 0x40) != 0;
    std::size_t count = 0;
    std::array<char, 256> word{};
    for (;;) {
        if (askFirst) platform::waitForInput(0);
        if (letTimePass) fake::advanceMs(7);
        word.fill('\x7f');
        if (!platform::readWord(word.data(), word.size())) break;
        FUZZ_REQUIRE(std::memchr(word.data(), '\0', word.size()) != nullptr);
        FUZZ_REQUIRE(count < expected.size());
        FUZZ_REQUIRE(std::string(word.data()) == expected[count]);
        checkCode(expected[count], commandForWord(word.data()));
        ++count;
    }
    FUZZ_REQUIRE(count == expected.size());
    FUZZ_REQUIRE(platform::waitForInput(0));  // the end of input is always ready to be read

    // Pass 2: the command reader over the same pieces gives the same codes, then "exit" for good.
    typed = fuzz::typeInPieces(data, size);
    for (const std::string& w : expected) FUZZ_REQUIRE(readCommand() == commandForWord(w.c_str()));
    FUZZ_REQUIRE(readCommand() == CmdExit);
    return 0;
}
