// The real POSIX layer on its own: the input over a pipe, a file or a closed standard input, and
// the directory search, its order and its filter.
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace {

namespace fs = std::filesystem;
using platform::NamePattern;

// Makes fd (-1: none) standard input. Each test runs in a process of its own, which it may change.
void inputFrom(int fd) {
    fd < 0 ? ::close(STDIN_FILENO) : ::dup2(fd, STDIN_FILENO);
    platform::detail::resetInput();
}

std::string word() {
    std::string buf(256, '\x7f');
    return platform::readWord(buf.data(), buf.size()) ? buf.substr(0, buf.find('\0')) : "<end>";
}

TEST(PosixInput, PipeFileAndClosedInput) {
    std::array<int, 2> ends{};
    ASSERT_EQ(::pipe(ends.data()), 0);
    inputFrom(ends[0]);
    EXPECT_FALSE(platform::waitForInput(0));  // nothing typed yet
    ASSERT_EQ(::write(ends[1], "cd mu", 5), 5);
    EXPECT_TRUE(platform::waitForInput(0));  // takes "cd mu" into the buffer
    ASSERT_EQ(::write(ends[1], "sic\n  \n", 7), 7);
    EXPECT_EQ(word(), "cd");
    EXPECT_EQ(word(), "music");               // joined from two reads
    EXPECT_FALSE(platform::waitForInput(0));  // line ends and blanks are no command
    ::close(ends[1]);
    EXPECT_TRUE(platform::waitForInput(0));  // end of input is ready, never waited for
    EXPECT_EQ(word(), "<end>");
    std::FILE* file = std::tmpfile();
    std::fputs("exit\n", file);
    std::rewind(file);
    inputFrom(::fileno(file));
    EXPECT_EQ(word(), "exit");
    EXPECT_TRUE(platform::waitForInput(0));  // end of file counts as waiting
    EXPECT_EQ(platform::readChar(), '\n');   // the line end still answers one byte read
    EXPECT_EQ(platform::readChar(), -1);
    inputFrom(-1);  // with no standard input at all, reads end at once instead of polling forever
    EXPECT_TRUE(platform::waitForInput(0));
    EXPECT_EQ(word(), "<end>");
}

std::vector<std::string> names(NamePattern pattern, std::size_t room) {
    std::vector<platform::NameSlot> slots(room);
    std::vector<std::string> result(static_cast<std::size_t>(platform::findNames(pattern, slots)));
    for (std::size_t k = 0; k < result.size(); ++k) result[k] = slots[k].data();
    return result;
}

TEST(PosixDirectory, ListsSortedMatchingNamesUntilTheDirectoryGoes) {
    const fs::path start = fs::current_path();
    std::string root = (fs::temp_directory_path() / "quavelin-dir-XXXXXX").string();
    ASSERT_NE(::mkdtemp(root.data()), nullptr);
    const std::string longest = std::string(251, 'L') + ".mp3";  // 255 bytes, the longest name there is
    for (const std::string name : {"b.MP3", "T  7.mp3", "_i.mp3", "A.mp3", "a.b.mp3", "z.txt", "README",
                                   "x.mp3x", "\xff.mp3", longest.c_str()})
        std::ofstream(root + "/" + name).flush();
    fs::create_directory(root + "/x.mp3");
    fs::create_directory(root + "/Music");

    ASSERT_TRUE(platform::enterDirectory(root.c_str()));
    EXPECT_EQ(names(NamePattern::Mp3Files, 50),
              (std::vector<std::string>{"a.b.mp3", "A.mp3", "b.MP3", longest, "T  7.mp3", "x.mp3", "_i.mp3",
                                        "\xff.mp3"}));
    EXPECT_EQ(names(NamePattern::Mp3Files, 2), (std::vector<std::string>{"a.b.mp3", "A.mp3"}));
    EXPECT_EQ(names(NamePattern::NamesWithoutDot, 50),
              (std::vector<std::string>{".", "..", "Music", "README"}));
    // A directory removed while the player is in it has no path and no names any more.
    fs::remove_all(root);
    EXPECT_EQ(platform::currentDirectory(), "");
    EXPECT_EQ(names(NamePattern::NamesWithoutDot, 50), std::vector<std::string>{});
    fs::current_path(start);
}

}  // namespace
