// The shared input buffer over the real POSIX primitives, with a pipe, a file or nothing at all as
// standard input.
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace {

// Standard input is fd (-1: closed) while the object lives, then what it was before. When fd is 0
// itself, standard input was closed before fd was made, and is closed again at the end.
class StdinFrom {
public:
    explicit StdinFrom(int fd) : saved_(fd == STDIN_FILENO ? -1 : ::dup(STDIN_FILENO)) {
        if (fd != STDIN_FILENO) ::close(STDIN_FILENO);
        if (fd > STDIN_FILENO) {
            ::dup2(fd, STDIN_FILENO);
            ::close(fd);
        }
        platform::detail::resetInput();
    }
    ~StdinFrom() {
        ::close(STDIN_FILENO);
        if (saved_ >= 0) {
            ::dup2(saved_, STDIN_FILENO);
            ::close(saved_);
        }
        platform::detail::resetInput();
    }
    StdinFrom(const StdinFrom&) = delete;
    StdinFrom& operator=(const StdinFrom&) = delete;

private:
    int saved_;
};

std::string word() {
    std::string buf(256, '\x7f');
    if (!platform::readWord(buf.data(), buf.size())) return "<end>";
    return buf.substr(0, buf.find('\0'));  // the word ends at its terminator
}

TEST(PosixInput, PipeWordsAcrossReadsLinesAndEnd) {
    std::array<int, 2> ends{};
    ASSERT_EQ(::pipe(ends.data()), 0);
    StdinFrom input(ends[0]);
    auto send = [&](const std::string& text) {
        ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    };

    EXPECT_FALSE(platform::waitForInput(0));  // nothing typed yet
    send("cd mu");
    EXPECT_TRUE(platform::waitForInput(0));  // takes "cd mu" into the buffer
    send("sic\n");
    EXPECT_EQ(word(), "cd");
    EXPECT_TRUE(platform::waitForInput(0));   // the second word of the line is waiting
    EXPECT_EQ(word(), "music");               // joined from two reads
    EXPECT_FALSE(platform::waitForInput(0));  // a leftover line end alone
    send("  \n\t\n");
    EXPECT_FALSE(platform::waitForInput(0));  // blank lines are no command

    ::close(ends[1]);
    EXPECT_TRUE(platform::waitForInput(0));  // end of input is ready, never waited for
    EXPECT_EQ(word(), "<end>");
    EXPECT_EQ(platform::readChar(), -1);
}

TEST(PosixInput, FileAndClosedInputEnd) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("exit\n", file);
    std::fflush(file);
    std::rewind(file);
    {
        StdinFrom input(::dup(::fileno(file)));
        EXPECT_TRUE(platform::waitForInput(0));
        EXPECT_EQ(word(), "exit");
        EXPECT_TRUE(platform::waitForInput(0));  // end of file counts as waiting
        EXPECT_EQ(platform::readChar(), '\n');   // the line end still answers one byte read
        EXPECT_EQ(platform::readChar(), -1);
        EXPECT_EQ(word(), "<end>");
    }
    std::fclose(file);

    // With no standard input at all, reads end at once instead of polling forever.
    StdinFrom none(-1);
    EXPECT_TRUE(platform::waitForInput(0));
    EXPECT_EQ(word(), "<end>");
}

}  // namespace
