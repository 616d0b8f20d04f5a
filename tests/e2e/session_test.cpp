// Whole sessions of the real player through a pipe, byte for byte: every kind of command in the
// C locale with no sound device, and the start-up texts in a Shift_JIS locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

TEST(EndToEndSession, EveryCommandPrintsItsTextsAndKeepsPlaying) {
    TempTree tree;
    fs::create_directories(tree.root() / "music/sub");
    fs::create_directories(tree.root() / "music/x.y");
    tree.addFile("music/README");
    for (const char* name : {"music/a.mp3", "music/b.mp3"}) fs::copy_file(kLongTrack, tree.root() / name);

    const std::string a = prompt("a");
    const std::string path = fs::canonical(tree.root() / "music").string();
    // Each line typed, and what the player prints for it: the texts of the commands, the words
    // taken by their first letters, the real directory. What the commands do to the track, and
    // when, the unit scenarios pin down on the virtual clock.
    const std::pair<std::string, std::string> session[] = {
        {"music", "0 | a\n1 | b\n\n" + a},
        // Words that are no command print nothing; a number ends at its first non-digit; the four
        // any-word commands go by their first letter.
        {"Stop exi jumps ff d10 -1 +3 99999999999 1x back play repeat",
         "\n" + prompt("b") + "\n" + a + a + a},
        {"ls", "\n0 | a\n1 | b\n" + a},
        {"help ls", kHelpModes + "全曲一覧を表示します\n" + a},
        {"dir", "現在のディレクトリパス \n  " + path +
                    "\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n  README\n  sub\n" + a},
        {"time", "\n<time> / 0 min 15 sec\n" + a},
        {"shuffle loop alloop shuffle loop alloop p stop rel", a + a + a + a + a + a + a + a + a},
        {"exit", ""},
    };
    std::string input, expected = kAsk + kDirPrompt;
    for (const auto& [typed, printed] : session) {
        input += typed + "\n";
        expected += printed;
    }
    // With no sound server to answer and no device (ALSA given an empty configuration), the tracks
    // keep their time on SDL's dummy output, and the player says so once, however many play.
    auto run = runPlayer(tree.root(), input,
                         {.env = {"SDL_AUDIODRIVER=", "PULSE_SERVER=unix:/nonexistent/quavelin-no-server",
                                  "ALSA_CONFIG_PATH=/dev/null"}});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quavelin: no usable sound device; tracks play silently.\n");
    EXPECT_EQ(maskTimes(run.out), expected);
}

TEST(EndToEndSession, WritesCodePage932InAShiftJisLocale) {
    TempTree tree;
    // A private copy of the locale, so that nothing is installed on the system.
    const fs::path locale = tree.root() / "ja_JP.SJIS";
    const std::string command = "localedef --no-warnings=ascii -f SHIFT_JIS -i ja_JP '" + locale.string() +
                                "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(locale / "LC_CTYPE"))
        GTEST_SKIP() << "no Shift_JIS locale can be generated here (localedef or locales missing)";

    auto run = runPlayer(tree.root(), "no-such\nexit\n",
                         {.env = {"LC_ALL=ja_JP.SJIS", "LOCPATH=" + tree.root().string()}});
    EXPECT_EQ(run.status, 1);
    // The failure and the farewell; the bytes from `iconv -f UTF-8 -t CP932 | xxd`.
    EXPECT_TRUE(run.out.ends_with(kDirPrompt + "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n" +
                                  kDirPrompt + "\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7\n"))
        << run.out;
}

}  // namespace
