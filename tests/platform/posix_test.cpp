// The real POSIX layer's wait for input, on its own.
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>

#include "platform/platform.h"

namespace {

// The wait is a real one on a pipe with nothing typed, and none on a standard input that was never
// open: the player would otherwise spin, or wait for a word that can't come. (CTest runs the test
// in a process of its own, whose standard input it may change.)
TEST(PosixInput, WaitsOnAnEmptyPipeButNotOnAClosedInput) {
    std::array<int, 2> ends{};
    ASSERT_EQ(::pipe(ends.data()), 0);
    ASSERT_EQ(::dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
    EXPECT_FALSE(platform::waitForInput(0));
    ::close(STDIN_FILENO);
    EXPECT_TRUE(platform::waitForInput(0));
    std::array<char, 8> word{};
    EXPECT_FALSE(platform::readWord(word.data(), word.size()));
}

}  // namespace
