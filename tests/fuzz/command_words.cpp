// Typed bytes through the shared input buffer, arriving in pieces of any size and with the "is a
// key waiting" test mixed in: every word comes out whole (cut to the reader's buffer), in order,
// then the end of input for good; read as directory answers, quoted or not, they stay in bounds.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Types text into a fresh fake world in pieces of the given size, 10 ms apart.
void typeInPieces(std::string_view text, std::size_t piece) {
    fake::reset();
    for (std::size_t from = 0; from < text.size(); from += piece)
        fake::typeAt(static_cast<std::int64_t>(from / piece) * 10, std::string(text.substr(from, piece)));
}

// The words of text: split at blanks, each cut to 255 bytes, and ending at a zero byte inside it.
std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    constexpr std::string_view kBlanks = " \t\n\r\v\f";
    for (std::size_t k = text.find_first_not_of(kBlanks); k != std::string_view::npos;) {
        std::size_t end = std::min(text.find_first_of(kBlanks, k), text.size());
        std::string word(text.substr(k, std::min<std::size_t>(end - k, 255)));
        words.push_back(word.substr(0, word.find('\0')));
        k = text.find_first_not_of(kBlanks, end);
    }
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte: the size of the pieces, and whether to ask for waiting input and let time
    // pass before each read.
    const unsigned mode = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> expected = wordsOf(text);

    typeInPieces(text, mode % 32 + 1);
    std::size_t count = 0;
    std::array<char, 256> word{};
    for (;;) {
        if ((mode & 0x20) != 0) platform::waitForInput(0);
        if ((mode & 0x40) != 0) fake::advanceMs(7);
        word.fill('\x7f');
        if (!platform::readWord(word.data(), word.size())) break;
        FUZZ_REQUIRE(std::find(word.begin(), word.end(), '\0') != word.end());
        FUZZ_REQUIRE(count < expected.size() && std::string(word.data()) == expected[count]);
        ++count;
    }
    FUZZ_REQUIRE(count == expected.size());
    FUZZ_REQUIRE(platform::waitForInput(0));  // the end of input is always ready to be read

    // The same bytes as answers at a directory prompt: quoted ones may hold blanks, so there are
    // at most as many answers as there are words, each zero-terminated in its buffer, and the end
    // of input comes for good.
    typeInPieces(text, mode % 32 + 1);
    std::array<char, 1024> path{};
    std::size_t answers = 0;
    bool quoted = false;
    for (path.fill('\x7f'); platform::readPath(path.data(), path.size(), quoted); path.fill('\x7f')) {
        FUZZ_REQUIRE(std::find(path.begin(), path.end(), '\0') != path.end());
        FUZZ_REQUIRE(quoted ||
                     std::string_view(path.data()).find_first_of(" \t\n\r\v\f") == std::string_view::npos);
        ++answers;
    }
    FUZZ_REQUIRE(answers <= expected.size() && !platform::readPath(path.data(), path.size(), quoted));
    return 0;
}
