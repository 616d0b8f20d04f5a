#include "console/typed_input.h"

#include <array>

#include "platform/platform.h"

namespace {

constexpr std::size_t kWordBytes = 256;
constexpr std::size_t kPathBytes = 1024;

}  // namespace

std::optional<std::string> readWord() {
    std::array<char, kWordBytes> word{};
    if (!platform::readWord(word.data(), word.size())) return std::nullopt;
    return std::string(word.data());
}

std::optional<std::int64_t> readNumber() {
    std::optional<std::string> word = readWord();
    if (!word) return std::nullopt;
    const char* c = word->c_str();
    bool negative = false;
    if (*c == '-' || *c == '+') negative = (*c++ == '-');
    // Held at a trillion, so that minutes * 60000 stays far inside 64 bits.
    constexpr std::int64_t kHeld = 1'000'000'000'000;
    std::int64_t value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        value = value * 10 + (*c - '0');
        if (value > kHeld) value = kHeld;
    }
    return negative ? -value : value;
}

std::optional<DirectoryAnswer> readDirectoryAnswer() {
    std::array<char, kPathBytes> path{};
    bool quoted = false;
    if (!platform::readPath(path.data(), path.size(), quoted)) return std::nullopt;
    return DirectoryAnswer{path.data(), quoted};
}
