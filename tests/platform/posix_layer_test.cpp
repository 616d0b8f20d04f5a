// The POSIX layer against the real system: message conversion, and the names and paths of real
// directories.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/text_conversion.h"

namespace {

namespace fs = std::filesystem;
using platform::NamePattern;

// The messages themselves are compared in code page 932 by the end-to-end run in a Shift_JIS locale.
TEST(TextConversion, MarksWhatCodePage932LacksAndKnowsItsNames) {
    // Characters code page 932 lacks are marked, whatever their length, and the rest goes on.
    EXPECT_EQ(platform::posix::convertFromUtf8("a\u00e9b\U0001F3B5c終", "CP932"), "a?b?c\x8f\x49");
    EXPECT_EQ(platform::posix::convertFromUtf8("終了", "NO-SUCH-CODESET"), "終了");
    for (const char* name : {"SHIFT_JIS", "shift_jis", "SJIS", "cp932", "WINDOWS-31J"})
        EXPECT_TRUE(platform::posix::isCodePage932(name)) << name;
    for (const char* name : {"UTF-8", "EUC-JP", "SJIS2", ""})
        EXPECT_FALSE(platform::posix::isCodePage932(name)) << name;
}

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quavelin-dir-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = fs::canonical(pattern);
        start_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(start_);
        fs::remove_all(root_);
    }
    void touch(const std::string& name) {
        ::close(::open((root_ / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }

    static std::vector<std::string> names(NamePattern pattern, std::size_t room) {
        std::vector<platform::NameSlot> slots(room);
        int count = platform::findNames(pattern, slots);
        std::vector<std::string> result;
        for (int k = 0; k < count; ++k) result.emplace_back(slots[static_cast<std::size_t>(k)].data());
        return result;
    }

    fs::path root_;
    fs::path start_;
};

TEST_F(DirectoryTest, FindsSortedNamesOfTheCurrentDirectory) {
    for (const char* name :
         {"b.MP3", "Track 07.mp3", "_intro.mp3", "A.mp3", "a.b.mp3", "z.txt", "README", "x.mp3x"})
        touch(name);
    fs::create_directory(root_ / "x.mp3");
    fs::create_directory(root_ / "Music");

    ASSERT_TRUE(platform::enterDirectory(root_.c_str()));
    EXPECT_EQ(names(NamePattern::Mp3Files, 50),
              (std::vector<std::string>{"a.b.mp3", "A.mp3", "b.MP3", "Track 07.mp3", "x.mp3", "_intro.mp3"}));
    EXPECT_EQ(names(NamePattern::Mp3Files, 2), (std::vector<std::string>{"a.b.mp3", "A.mp3"}));
    EXPECT_EQ(names(NamePattern::NamesWithoutDot, 50),
              (std::vector<std::string>{".", "..", "Music", "README"}));
}

TEST_F(DirectoryTest, EntersDirectoriesAndReportsLongPaths) {
    // Deeper than the first guess of the path buffer, so the whole path needs a larger one.
    std::string part(200, 'd');
    fs::path deep = root_ / part / part / part;
    fs::create_directories(deep);

    ASSERT_TRUE(platform::enterDirectory(deep.c_str()));
    EXPECT_EQ(platform::currentDirectory(), deep.string());
    EXPECT_FALSE(platform::enterDirectory("no-such-directory"));
    EXPECT_EQ(platform::currentDirectory(), deep.string());
    ASSERT_TRUE(platform::enterDirectory("../.."));
    EXPECT_EQ(platform::currentDirectory(), (root_ / part).string());
}

}  // namespace
