// The shared input buffer over the real POSIX primitives, with a pipe or a file as standard input.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace {

class StdinTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ::dup(STDIN_FILENO);
        platform::detail::resetInput();
    }
    void TearDown() override {
        if (writer_ >= 0) ::close(writer_);
        if (saved_ >= 0) {
            ::dup2(saved_, STDIN_FILENO);
            ::close(saved_);
        } else {
            ::close(STDIN_FILENO);  // the test ran with standard input closed: leave it so
        }
        platform::detail::resetInput();
    }

    // fd becomes standard input. With standard input closed it may already be descriptor 0.
    static void becomeStdin(int fd) {
        if (fd == STDIN_FILENO) return;
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
    }

    // Standard input becomes a pipe that the test writes into.
    void usePipe() {
        std::array<int, 2> ends{};
        ASSERT_EQ(::pipe(ends.data()), 0);
        becomeStdin(ends[0]);
        writer_ = ends[1];
    }
    void send(const std::string& text) {
        ASSERT_EQ(::write(writer_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void closePipe() {
        ::close(writer_);
        writer_ = -1;
    }

    std::string word(std::size_t size = 256) {
        std::string buf(size, '\x7f');
        if (!platform::readWord(buf.data(), size)) return "<end>";
        buf.resize(buf.find('\0'));  // the word ends at its terminator
        return buf;
    }

private:
    int saved_ = -1;
    int writer_ = -1;
};

TEST_F(StdinTest, PipeWordsAcrossReadsLinesAndEnd) {
    usePipe();
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

    // A word longer than the caller's buffer (and than the input buffer) is cut, its rest dropped.
    send(std::string(5000, 'x') + " next\n");
    EXPECT_EQ(word(8), std::string(7, 'x'));
    EXPECT_EQ(word(), "next");

    closePipe();
    EXPECT_TRUE(platform::waitForInput(0));  // end of input is ready, never waited for
    EXPECT_EQ(word(), "<end>");
    EXPECT_EQ(platform::readChar(), -1);
}

TEST_F(StdinTest, FileAndClosedInputEnd) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("exit\n", file);
    std::fflush(file);
    std::rewind(file);
    int fd = ::dup(::fileno(file));
    std::fclose(file);
    becomeStdin(fd);

    EXPECT_TRUE(platform::waitForInput(0));
    EXPECT_EQ(word(), "exit");
    EXPECT_TRUE(platform::waitForInput(0));  // end of file counts as waiting
    EXPECT_EQ(platform::readChar(), '\n');   // the line end still answers one byte read
    EXPECT_EQ(platform::readChar(), -1);
    EXPECT_EQ(word(), "<end>");

    // With no standard input at all, reads end at once instead of polling forever.
    platform::detail::resetInput();
    ::close(STDIN_FILENO);
    EXPECT_TRUE(platform::waitForInput(0));
    EXPECT_EQ(word(), "<end>");
}

}  // namespace
