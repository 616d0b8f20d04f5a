#include "console/number_reader.h"

#include <array>

#include "platform/platform.h"

std::int64_t readNumber() {
    std::array<char, 256> word{};
    if (!platform::readWord(word.data(), word.size())) platform::exitProcess(1);
    const char* c = word.data();
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
