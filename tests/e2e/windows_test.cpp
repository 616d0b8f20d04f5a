// The Windows executable under wine, through pipes: what only the Windows build can get wrong.
// Code page 932 in and out, line ends, wine's drive Z:, names and arguments in other scripts
// under two ANSI code pages, the pipe's reader thread waking the player while a track plays, and
// MCI playing sound. What both builds share is left to the Linux binary's tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/e2e/wine.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;
using namespace std::chrono_literals;

const fs::path kTrack = fs::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/cbr.mp3";  // 15 seconds

std::string timeOf(const std::string& track, const std::string& length) {
    return "\n<time> / " + length + "\n" + prompt(track);
}

TEST(WindowsSession, PrintsCodePage932AndPlaysThroughMci) {
    TempTree tree;
    for (const char* dir : {"music/sub", "music/x.d", "empty"}) fs::create_directories(tree.root() / dir);
    // gamma is listed, but MCI is given only mp3 and MP3: it has no length and ends after a second.
    for (const char* name : {"alpha.mp3", "Beta.MP3", "gamma.Mp3"})
        fs::copy_file(kTrack, tree.root() / "music" / name);
    // song.mp3x is no track, though a search for *.mp3 finds it by its 8.3 short name.
    for (const char* name : {"music/README", "empty/notes.txt", "empty/song.mp3x"}) tree.addFile(name);

    auto player = startPlayer(tree.root(), wine::options(tree.root()));
    player->write("nosuchdir\nempty\n../music\ndir\nnext\n2 time\n");
    // Once gamma has ended, the player waits on the pipe with nothing read ahead; each word from here
    // on has to wake it.
    const auto deadline = harness::Clock::now() + 60s;
    ASSERT_TRUE(player->waitFor("gamma~$ \r\nQuavelin~ alpha~$ ", deadline))
        << wine::asLinuxOutput(player->output());
    while (!wine::soundPlayed(tree.root()) && harness::Clock::now() < deadline)
        std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(wine::soundPlayed(tree.root())) << "no sound reached the sound device";
    player->write("pause\nrel\n1\nhelp\nls\ntime\nexit\n");
    // Ending while MCI plays must not crash wine's MPEGVideo device.
    EXPECT_EQ(player->wait(deadline).status, 1);

    const std::string alpha = prompt("alpha"), beta = prompt("Beta"), gamma = prompt("gamma");
    EXPECT_EQ(wine::asLinuxOutput(player->output()),
              kAsk + kDirPrompt + kFailed + kDirPrompt + kNoTracks + kDirPrompt +
                  "0 | alpha\n1 | Beta\n2 | gamma\n\n" + alpha + "現在のディレクトリパス \n  " +
                  wine::windowsPath(fs::canonical(tree.root() / "music")) +
                  "\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n  README\n  sub\n" + alpha + "\n" +
                  beta + "\n" + gamma + timeOf("gamma", "0 min 0 sec") + "\n" + alpha + alpha + alpha + "\n" +
                  beta + kHelpModes + "全曲一覧を表示します\n" + beta + timeOf("Beta", "0 min 15 sec"));
}

// A locale that gives wine's ANSI code page 932, as on a Japanese Windows (generated once, so that
// the machine's own set does not matter).
std::string japaneseLocalePath() {
    static const TempTree locales;
    static const bool made =
        std::system(("localedef --no-warnings=ascii -f UTF-8 -i ja_JP '" +
                     (locales.root() / "ja_JP.UTF-8").string() + "' </dev/null >/dev/null 2>&1")
                        .c_str()) == 0;
    if (!made) throw std::runtime_error("localedef can't make ja_JP.UTF-8");
    return "LOCPATH=" + locales.root().string();
}

struct NamesRow {
    const char* name;
    const char* locale;     // C.UTF-8: wine's own ANSI code page 1252
    bool folderAsArgument;  // else typed at the first prompt
};

void PrintTo(const NamesRow& row, std::ostream* out) { *out << row.name; }

class WindowsNames : public ::testing::TestWithParam<NamesRow> {};

// Names reach the player through the wide calls in any locale: both print the same code page 932
// bytes, '?' for a character without a form there, and every file plays (its length shows). The
// second byte of ソ in the folder and of 能 in a track is 0x5C, the path separator.
TEST_P(WindowsNames, ListPlayAndChangeDirectory) {
    const NamesRow& row = GetParam();
    TempTree tree;
    const fs::path folder = tree.root() / "ソフト";
    fs::create_directories(folder / "資料");
    for (const char* name : {"日本語", "ｶﾀｶﾅ", "café", "한국어", "🎵"})
        fs::copy_file(kTrack, folder / (std::string(name) + ".mp3"));
    fs::copy_file(kTrack, folder / "資料/能力.mp3");

    // A fresh wine server for each locale, so that nothing of the last one carries over.
    static std::string lastLocale;
    if (std::exchange(lastLocale, row.locale) != row.locale) wine::restart();
    Options options = wine::options(tree.root());
    options.env.insert(options.env.begin(), {std::string("LC_ALL=") + row.locale, japaneseLocalePath()});
    if (row.folderAsArgument) options.arguments = {"ソフト"};
    std::string input = "0 time 1 time 2 time 3 time 4 time\ndir\ncd\n資料\ntime\ndir\nexit\n";
    if (!row.folderAsArgument) input = "ソフト\n" + input;
    auto run = runPlayer(tree.root(), wine::codePage932(input), options);

    // In the file system's order: UTF-16 code units, as NTFS sorts them.
    const std::string listed[] = {"caf?", "日本語", "???", "?", "ｶﾀｶﾅ"};
    std::string expected = kAsk + kDirPrompt + (row.folderAsArgument ? "ソフト\n" : "") +
                           "0 | caf?\n1 | 日本語\n2 | ???\n3 | ?\n4 | ｶﾀｶﾅ\n\n" + prompt("caf?");
    for (const std::string& name : listed) expected += "\n" + prompt(name) + timeOf(name, "0 min 15 sec");
    const std::string where = "現在のディレクトリパス \n  " + wine::windowsPath(fs::canonical(folder));
    expected += where + "\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n  資料\n" + prompt("ｶﾀｶﾅ") +
                kDirPrompt + "\n" + prompt("能力") + timeOf("能力", "0 min 15 sec") + where +
                "\\資料\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n" + prompt("能力");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(wine::asLinuxOutput(run.out), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowsNames,
                         ::testing::Values(NamesRow{"TypedInCodePage1252", "C.UTF-8", false},
                                           NamesRow{"AsTheArgumentInCodePage1252", "C.UTF-8", true},
                                           NamesRow{"TypedInCodePage932", "ja_JP.UTF-8", false},
                                           NamesRow{"AsTheArgumentInCodePage932", "ja_JP.UTF-8", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
