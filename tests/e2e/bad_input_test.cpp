// Input that a user can throw at the real player, byte for byte: the end of input and mistyped or
// huge words at every prompt, and a binary without its sound module. Each run must end by itself
// with the expected status.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

// root/m holds two one-second tracks, a and b; root/empty holds no track; alone is for a binary.
class EndToEndBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"empty", "m", "alone"}) fs::create_directory(tree.root() / name);
        for (const char* name : {"m/a.mp3", "m/b.mp3"})
            fs::copy_file(fs::path(QUAVELIN_E2E_FIXTURES) / "one-second.mp3", tree.root() / name);
    }

    TempTree tree;
    const std::string started = kAsk + kDirPrompt + "0 | a\n1 | b\n\n" + prompt("a");
};

TEST_F(EndToEndBadInput, EndOfInputAndOddWordsAtEveryPrompt) {
    const std::string huge(10u << 20, 'x'), fail = kDirPrompt + kFailed;
    const std::tuple<std::string, std::string, int> cases[] = {
        {"", kAsk + kDirPrompt + kExiting, 1},
        // Two words on a line are two tries; "Exit" is only a directory name.
        {"no-such Exit\n" + huge + "\n", kAsk + fail + fail + fail + kDirPrompt + kExiting, 1},
        // After a directory without tracks the failure message has no final stop.
        {"  empty \n\n no-such\n exit",
         kAsk + kDirPrompt + kNoTracks + kDirPrompt + "失敗しました\n" + kNoTracks + kDirPrompt + kExiting,
         1},
        {"m\n", started, 1},
        {"m\nhelp\n", started + kHelpModes, 1},
        {"m\njump\n", started + "\n<time>\n" + kMinutePrompt, 1},
        // Paused, so that a can't end while the huge words are read.
        {"m\np\njump\n" + std::string(10u << 20, '7') + "\n",
         started + prompt("a") + "\n<time>\n" + kMinutePrompt + kSecondPrompt, 1},
        {"m\np\n" + huge + " " + huge, started + prompt("a"), 1},  // the input ends inside the second
        {"m\ncd ../empty\n", started + kDirPrompt + kNoTracks + kDirPrompt + kExiting, 1},
        // Past slot 49 the player reads one byte and ends with status 0, whether one is left or not.
        {"m\n50", started, 0},
        {"m\n50\n", started, 0},
    };
    for (const auto& [input, output, status] : cases) {
        SCOPED_TRACE(input.substr(0, 40));
        auto run = runPlayer(tree.root(), input);
        EXPECT_EQ(run.status, status);
        EXPECT_EQ(maskTimes(run.out), output);
        EXPECT_EQ(run.err, "");
    }
}

// The sound libraries are a module loaded beside the binary; a binary without it still runs,
// says once that it plays silently, and takes its commands as ever.
TEST_F(EndToEndBadInput, WithoutItsSoundModuleTracksPlaySilently) {
    fs::copy_file(QUAVELIN_BINARY, tree.root() / "alone/quavelin");
    auto run = runPlayer(tree.root(), "m\nls", {.binary = tree.root() / "alone/quavelin"});
    EXPECT_EQ(run.status, 1) << run.out;
    // Without sound a track's length is 0, so it may end (and the next one start) before the end
    // of input is seen, when the clock's second turns meanwhile.
    const std::string listed = started + "\n0 | a\n1 | b\n" + prompt("a");
    EXPECT_TRUE(run.out == listed || run.out == listed + "\n" + prompt("b")) << run.out;
    EXPECT_EQ(run.err, "quavelin: no sound (quavelin-sound.so not found); tracks play silently.\n");
}

}  // namespace
