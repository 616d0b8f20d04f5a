// Input that a user or a file system can throw at the real player, byte for byte: the end of input
// and mistyped or huge words at every prompt, odd names, a current directory that disappears, and
// a binary without its sound module. Each run must end by itself with the expected status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/player_texts.h"
#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

const std::string kHuge(10u << 20, 'x');  // a 10 MB word

void copyShortTrack(const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(fs::path(QUAVELIN_E2E_FIXTURES) / "one-second.mp3", to);
}

// root/m holds two one-second tracks, a and b; root/empty holds no track.
class EndToEndBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        copyShortTrack(tree.root() / "m" / "a.mp3");
        copyShortTrack(tree.root() / "m" / "b.mp3");
        tree.addDirectory("empty");
    }

    static std::string started() { return kAsk + kDirPrompt + "0 | a\n1 | b\n\n" + prompt("a"); }

    TempTree tree;
};

TEST_F(EndToEndBadInput, EndOfInputAndOddWordsAtEveryPrompt) {
    struct Case {
        std::string input;
        std::string output;
        int status;
    };
    const std::string fail = kDirPrompt + kFailed;
    // 55 silent tracks, of which the list takes the first 50.
    std::string fifty;
    for (int k = 0; k < 55; ++k) {
        std::string number = std::to_string(k), name = "t" + std::string(k < 10 ? "0" : "") + number;
        tree.addFile("many/" + name + ".mp3");
        if (k < 50) fifty += number + (k < 10 ? " | " : "| ") + name + "\n";
    }
    const Case cases[] = {
        {"exit\n", kAsk + kDirPrompt + kExiting, 1},
        {"", kAsk + kDirPrompt + kExiting, 1},
        // Two words on a line are two tries; "Exit" is only a directory name.
        {"no-such Exit\n" + kHuge + "\n", kAsk + fail + fail + fail + kDirPrompt + kExiting, 1},
        // After a directory without tracks the failure message has no final stop.
        {"  empty \n\n no-such\n exit",
         kAsk + kDirPrompt + kNoTracks + kDirPrompt + "失敗しました\n" + kNoTracks + kDirPrompt + kExiting,
         1},
        {"many\n", kAsk + kDirPrompt + fifty + "\n" + prompt("t00"), 1},
        {"m\n", started(), 1},
        {"m\nhelp\n", started() + kHelpModes, 1},
        {"m\njump\n", started() + "\n<time>\n" + kMinutePrompt, 1},
        // Paused, so that a can't end while the huge words are read.
        {"m\np\njump\n" + std::string(10u << 20, '7') + "\n",
         started() + prompt("a") + "\n<time>\n" + kMinutePrompt + kSecondPrompt, 1},
        {"m\np\n" + kHuge + " " + kHuge, started() + prompt("a"), 1},  // the input ends inside the second
        {"m\ncd\n", started() + kDirPrompt + kExiting, 1},
        {"m\ncd ../empty\n", started() + kDirPrompt + kNoTracks + kDirPrompt + kExiting, 1},
        // Past slot 49 the player reads one byte and ends with status 0, whether one is left or not.
        {"m\n50", started(), 0},
        {"m\n50\n", started(), 0},
    };
    for (const Case& c : cases) {
        const std::string what = c.input.substr(0, 40);
        auto run = runPlayer(tree.root(), c.input);
        EXPECT_FALSE(run.timedOut) << what;
        EXPECT_EQ(run.status, c.status) << what;
        EXPECT_EQ(maskTimes(run.out), c.output) << what;
        EXPECT_EQ(run.err, "") << what;
    }
}

TEST_F(EndToEndBadInput, OddNamesAreListedAndShownAsTheyStand) {
    const std::string longStem(251, 'L');  // 255 bytes with ".mp3", the longest name there is
    const std::vector<std::string> order = {"bad-\xff\xfe-utf8", longStem, "with  two spaces", "x", "y"};
    for (const std::string& track : {order[0], order[1], order[2]})
        copyShortTrack(tree.root() / "odd" / (track + ".mp3"));
    fs::create_directory(tree.root() / "odd" / "x.mp3");
    fs::create_symlink("nowhere.mp3", tree.root() / "odd" / "y.mp3");

    // Each paused at once (one that can't be opened is over after a second), then the next.
    std::string input = "odd\n", expected = kAsk + kDirPrompt;
    for (std::size_t k = 0; k < order.size(); ++k) {
        input += "p\nn\n";
        expected += std::to_string(k) + " | " + order[k] + "\n";
    }
    for (const std::string& track : order) expected += "\n" + prompt(track) + prompt(track);
    auto run = runPlayer(tree.root(), input + "exit\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, expected + "\n" + prompt(order[0]));
}

// A user who types only when asked must see the prompt while the player waits (the runner writes
// each step only once the prompt it waits for has arrived). Then the current directory goes: the
// list, the next track, the directory listing and a step up must still behave.
TEST_F(EndToEndBadInput, PromptsComeBeforeTypingAndSurviveTheirDirectoryGoing) {
    copyShortTrack(tree.root() / "other" / "c.mp3");
    const std::vector<InputStep> steps = {
        {"", {}, "m\n"},
        {prompt("a"), {}, "p\n"},
        {prompt("a"), [&] { fs::remove_all(tree.root() / "m"); }, "ls\nn\np\ndir\ncd ..\nother\nexit\n"},
    };
    auto run = runPlayer(tree.root(), steps, {}, 10);
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, started() + prompt("a") + "\n0 | a\n1 | b\n" + prompt("a") + "\n" + prompt("b") +
                           prompt("b") +
                           // Nothing to show: the directory has no path and no entries any more.
                           "現在のディレクトリパス \n  \n現在のディレクトリ直下のディレクトリ\n" +
                           prompt("b") + kDirPrompt + kNoTracks + kDirPrompt + "\n" + prompt("c"));
}

// The sound libraries are a module loaded beside the binary; a binary without it still runs,
// says once that it plays silently, and takes its commands as ever.
TEST_F(EndToEndBadInput, WithoutItsSoundModuleTracksPlaySilently) {
    tree.addDirectory("alone");
    fs::copy_file(QUAVELIN_BINARY, tree.root() / "alone" / "quavelin");
    auto run = runPlayerBinary(tree.root() / "alone" / "quavelin", tree.root(), "m\nls");
    EXPECT_EQ(run.status, 1) << run.out;
    // Without sound a track's length is 0, so it may end (and the next one start) before the end
    // of input is seen, when the clock's second turns meanwhile.
    const std::string listed = started() + "\n0 | a\n1 | b\n" + prompt("a");
    EXPECT_TRUE(run.out == listed || run.out == listed + "\n" + prompt("b")) << run.out;
    EXPECT_EQ(run.err, "quavelin: no sound (quavelin-sound.so not found); tracks play silently.\n");
}

}  // namespace
