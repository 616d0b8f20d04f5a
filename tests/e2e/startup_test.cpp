// Start-up of the real player: the directory dialogue and the track listing, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;

const std::string kAsk = "初期でのカレントディレクトリを指定してください。\n";
const std::string kPrompt = "Please type to new Directory~$ ";
const std::string kFailed = "失敗しました。\n";
const std::string kNoTracks =
    "このディレクトリにMP3は有りません\n"
    "移動先ディレクトリを指定してください\n";
const std::string kExiting = "終了します\n";

// root/empty holds no track; root/music holds 55 names that match "*.mp3" (one a directory).
void addLibrary(const e2e::TempTree& tree) {
    for (const char* name : {"empty/notes.txt", "empty/song.mp3.bak", "empty/sub/inner.mp3"})
        tree.addFile(name);
    for (const char* name : {"a.b.mp3", "A.mp3", "b.MP3", "c.Mp3", "_intro.mp3", "z.txt", "README", "x.mp3x"})
        tree.addFile(fs::path("music") / name);
    tree.addDirectory("music/d.mp3");
    for (int n = 0; n < 49; ++n)
        tree.addFile("music/Track " + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".mp3");
}

// The first 50 by upper-cased name: '.' sorts before the letters and '_' after them.
std::string expectedListing() {
    std::string listing = "0 | a.b\n1 | A\n2 | b\n3 | c\n4 | d\n";
    for (int n = 0; n < 45; ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "%-2d| Track %02d\n", n + 5, n);
        listing += line;
    }
    return listing;
}

TEST(EndToEndStartup, ListsTracksAfterMistypedAndEmptyDirectories) {
    e2e::TempTree tree;
    addLibrary(tree);
    // Two words on one line are two attempts; EXIT in another case is only a directory name. The
    // final "exit" ends whatever reads next, since playback itself is not what is looked at here.
    e2e::Run run = e2e::runPlayer(tree.root(), "no-such Exit\nempty\n../music\nexit\n");
    ASSERT_FALSE(run.timedOut) << run.out;
    std::string expected =
        kAsk + kPrompt + kFailed + kPrompt + kFailed + kPrompt + kNoTracks + kPrompt + expectedListing();
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
}

TEST(EndToEndStartup, ExitOrEndOfInputAtEveryDirectoryPrompt) {
    e2e::TempTree tree;
    addLibrary(tree);
    struct Case {
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {"exit\n", kAsk + kPrompt + kExiting},
        {"", kAsk + kPrompt + kExiting},
        {"no-such\n", kAsk + kPrompt + kFailed + kPrompt + kExiting},
        {"  empty \n\n exit", kAsk + kPrompt + kNoTracks + kPrompt + kExiting},
        {"empty\n", kAsk + kPrompt + kNoTracks + kPrompt + kExiting},
        {"empty\nno-such\n",
         kAsk + kPrompt + kNoTracks + kPrompt + "失敗しました\n" + kNoTracks + kPrompt + kExiting},
    };
    for (const Case& c : cases) {
        e2e::Run run = e2e::runPlayer(tree.root(), c.input);
        EXPECT_FALSE(run.timedOut) << c.input;
        EXPECT_EQ(run.out, c.output) << c.input;
        EXPECT_EQ(run.status, 1) << c.input;
        EXPECT_EQ(run.err, "") << c.input;
    }
}

TEST(EndToEndStartup, WritesCodePage932InAShiftJisLocale) {
    e2e::TempTree tree;
    addLibrary(tree);
    // A private copy of the locale, so that nothing is installed on the system.
    fs::path locales = tree.root() / "locales";
    fs::create_directory(locales);
    std::string command = "localedef --no-warnings=ascii -f SHIFT_JIS -i ja_JP '" +
                          (locales / "ja_JP.SJIS").string() + "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(locales / "ja_JP.SJIS" / "LC_CTYPE"))
        GTEST_SKIP() << "no Shift_JIS locale can be generated here (localedef or locales missing)";

    e2e::Run run = e2e::runPlayer(tree.root(), "no-such\nempty\nexit\n",
                                  {"LC_ALL=ja_JP.SJIS", "LOCPATH=" + locales.string()});
    ASSERT_FALSE(run.timedOut);
    // Expected bytes from `iconv -f UTF-8 -t CP932 | xxd`.
    const std::string ask =
        "\x8f\x89\x8a\xfa\x82\xc5\x82\xcc\x83\x4a\x83\x8c\x83\x93\x83\x67\x83\x66\x83\x42\x83\x8c"
        "\x83\x4e\x83\x67\x83\x8a\x82\xf0\x8e\x77\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3"
        "\x82\xa2\x81\x42\n";
    const std::string failed = "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n";
    const std::string noTracks =
        "\x82\xb1\x82\xcc\x83\x66\x83\x42\x83\x8c\x83\x4e\x83\x67\x83\x8a\x82\xc9MP3\x82\xcd\x97\x4c"
        "\x82\xe8\x82\xdc\x82\xb9\x82\xf1\n"
        "\x88\xda\x93\xae\x90\xe6\x83\x66\x83\x42\x83\x8c\x83\x4e\x83\x67\x83\x8a\x82\xf0\x8e\x77"
        "\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\n";
    const std::string exiting = "\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7\n";
    EXPECT_EQ(run.out, ask + kPrompt + failed + kPrompt + noTracks + kPrompt + exiting);
    EXPECT_EQ(run.status, 1);
}

}  // namespace
