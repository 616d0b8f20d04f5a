// Typed bytes through the shared input buffer, arriving in pieces of any size and with the "is a
// key waiting" test mixed in: every word, and every answer at a directory prompt, comes out whole
// (cut to the reader's buffer), in order, then the end of input for good.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr std::size_t kBufferBytes = 256;

// What the reader must give for text: split at blanks, each answer cut to the buffer and ending at
// a zero byte inside it. With paths, one that begins with a double quote runs to the closing quote
// or the end of its line instead, the quotes and a final '\r' left out.
std::vector<std::string> answersOf(std::string_view text, bool paths) {
    std::vector<std::string> answers;
    constexpr std::string_view kBlanks = " \t\n\r\v\f";
    for (std::size_t k = text.find_first_not_of(kBlanks); k != std::string_view::npos;
         k = text.find_first_not_of(kBlanks, k)) {
        const bool quoted = paths && text[k] == '"';
        const std::size_t from = quoted ? k + 1 : k;
        const std::size_t end = std::min(text.find_first_of(quoted ? "\"\n" : kBlanks, from), text.size());
        std::string answer(text.substr(from, std::min(end - from, kBufferBytes - 1)));
        answer.resize(std::min(answer.size(), answer.find('\0')));
        if (quoted && answer.ends_with('\r')) answer.pop_back();
        answers.push_back(answer);
        k = quoted && end < text.size() && text[end] == '"' ? end + 1 : end;
    }
    return answers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte: the size of the pieces, and whether to ask for waiting input and let time
    // pass before each read.
    const unsigned mode = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = mode % 32 + 1;
    // The bytes read as words, then as directory answers.
    for (bool paths : {false, true}) {
        const std::vector<std::string> expected = answersOf(text, paths);
        fake::reset();
        for (std::size_t from = 0; from < text.size(); from += piece)
            fake::typeAt(static_cast<std::int64_t>(from / piece) * 10, std::string(text.substr(from, piece)));
        std::size_t count = 0;
        std::array<char, kBufferBytes> answer{};
        for (bool quoted = false;; ++count) {
            if ((mode & 0x20) != 0) platform::waitForInput(0);
            if ((mode & 0x40) != 0) fake::advanceMs(7);
            answer.fill('\x7f');
            if (!(paths ? platform::readPath(answer.data(), answer.size(), quoted)
                        : platform::readWord(answer.data(), answer.size())))
                break;
            FUZZ_REQUIRE(std::find(answer.begin(), answer.end(), '\0') != answer.end());
            FUZZ_REQUIRE(count < expected.size() && std::string(answer.data()) == expected[count]);
        }
        FUZZ_REQUIRE(count == expected.size());
        FUZZ_REQUIRE(platform::waitForInput(0));  // the end of input is always ready to be read
    }
    return 0;
}
