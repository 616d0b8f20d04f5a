// Typed bytes at the two jump prompts: each answer is the signed number at the start of its word,
// held far from overflow; the device restarts the track at the position the answers name, and the
// end of input ends the process instead of looping on an empty answer.
#include <string>
#include <vector>

#include "app/time_actions.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/typed_input.h"

namespace {

constexpr std::int64_t kHeld = 1'000'000'000'000;

std::int64_t numberOf(const std::string& word) {
    std::size_t k = 0;
    bool negative = false;
    if (k < word.size() && (word[k] == '-' || word[k] == '+')) negative = word[k++] == '-';
    std::int64_t value = 0;
    for (; k < word.size() && word[k] >= '0' && word[k] <= '9'; ++k)
        value = std::min(value * 10 + (word[k] - '0'), kHeld);
    return negative ? -value : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Typed typed = fuzz::typeInPieces(data, size);
    fake::addFile("/t.mp3");
    const std::vector<std::string> words = fuzz::wordsOf(typed.text, 256);
    std::size_t jumps = 0;
    int status = fake::run([&] {
        for (;;) {
            std::int64_t position = jumpToTime("t.mp3", nullptr);
            FUZZ_REQUIRE(2 * jumps + 1 < words.size());
            std::int64_t min = numberOf(words[2 * jumps]);
            std::int64_t s = numberOf(words[2 * jumps + 1]);
            FUZZ_REQUIRE(position == min * 60 + s);
            const fake::DeviceCall& play = fake::deviceCalls().back();
            FUZZ_REQUIRE(play.what == "play");
            auto fromMs = static_cast<std::uint32_t>(static_cast<std::int32_t>(min * 60000 + s * 1000));
            FUZZ_REQUIRE(play.fromMs == fromMs);
            ++jumps;
        }
        return 0;
    });
    FUZZ_REQUIRE(status == 1);
    FUZZ_REQUIRE(jumps == words.size() / 2);
    return 0;
}
