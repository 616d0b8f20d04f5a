// What a user can throw at the real player, byte for byte: the end of input and mistyped or huge
// words at every prompt, a binary without its sound module, its command line, and the signals that
// end it. Each run must end by itself with the expected status.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;
using namespace std::chrono_literals;

// root/m holds two one-second tracks, a and b; root/empty holds no track; alone is for a binary;
// music, -h and blank (no track, only a directory music with one) are for the command line.
class EndToEndBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"empty", "m", "alone"}) fs::create_directory(tree.root() / name);
        for (const char* name : {"m/a.mp3", "m/b.mp3"})
            fs::copy_file(fs::path(QUAVELIN_E2E_FIXTURES) / "one-second.mp3", tree.root() / name);
        for (const char* name : {"music/a.mp3", "-h/b.mp3", "blank/music/c.mp3"}) tree.addFile(name);
    }

    TempTree tree;
    const std::string started = kAsk + kDirPrompt + "0 | a\n1 | b\n\n" + prompt("a");
};

// Each input, with the arguments of a case, and the output (for the options, how it begins), the
// status and the complaint.
TEST_F(EndToEndBadInput, EndOfInputOddWordsAtEveryPromptAndTheCommandLine) {
    const std::string huge(10u << 20, 'x'), fail = kDirPrompt + kFailed;
    // More tracks than the list holds, awkwardly named (the longest name there is, 255 bytes, among
    // them), beside names that are no track: the list keeps the first fifty in name order, any case.
    const std::string longest(251, 'L');
    for (const std::string& name : std::vector<std::string>{"b.MP3", "T  7.mp3", "_i.mp3", "A.mp3", "a.b.mp3",
                                                            "z.txt", "x.mp3x", "\xff.mp3", longest + ".mp3"})
        tree.addFile("many/" + name);
    for (int k = 10; k < 60; ++k) tree.addFile("many/t" + std::to_string(k) + ".mp3");
    // A track long enough that the sound service holds it open while the player reads its input.
    fs::create_directory(tree.root() / "long");
    fs::copy_file(kLongTrack, tree.root() / "long/a.mp3");
    std::string listing = "0 | a.b\n1 | A\n2 | b\n3 | " + longest + "\n4 | T  7\n";
    for (int k = 5; k < 50; ++k)  // numbers of two digits take the blank's place
        listing += std::to_string(k) + (k < 10 ? " | t" : "| t") + std::to_string(k + 5) + "\n";
    struct Case {
        std::string input, output;
        int status;
        Options options{};
        std::string complaint{};
    };
    const Options closedInput{.arguments = {"long"}, .inputClosed = true};
    const std::string usage = "Usage: quavelin [OPTION]... [DIRECTORY]\n", music = "0 | a\n\n" + prompt("a");
    auto given = [](std::vector<std::string> arguments) {
        return Options{.arguments = std::move(arguments)};
    };
    const Case cases[] = {
        {"", kAsk + kDirPrompt + kExiting, 1},
        // Two words on a line are two tries; "Exit" is only a directory name.
        {"no-such Exit\n" + huge + "\n", kAsk + fail + fail + fail + kDirPrompt + kExiting, 1},
        // After a directory without tracks the failure message has no final stop.
        {"  empty \n\n no-such\n exit",
         kAsk + kDirPrompt + kNoTracks + kDirPrompt + "失敗しました\n" + kNoTracks + kDirPrompt + kExiting,
         1},
        {"many\n", kAsk + kDirPrompt + listing + "\n" + prompt("a.b"), 1},
        {"m\ncd ../empty\n", started + kDirPrompt + kNoTracks + kDirPrompt + kExiting, 1},
        // Past slot 49 the player reads one byte and ends with status 0, whether one is left or not.
        {"m\n50", started, 0},
        {"m\n50\n", started, 0},
        // Started without standard input, as at its end: no track file may be read as commands.
        {"", kAsk + kDirPrompt + "long\n0 | a\n\n" + prompt("a"), 1, closedInput},
        // A directory is the first answer, shown after the prompt as a typed one is by a terminal.
        {"music\n", kAsk + kDirPrompt + "music\n" + music, 1, given({"music"})},
        {"music\n", kAsk + kDirPrompt + "missing\n" + kFailed + kDirPrompt + music, 1, given({"missing"})},
        {"music\n", kAsk + kDirPrompt + "blank\n" + kNoTracks + kDirPrompt + "0 | c\n\n" + prompt("c"), 1,
         given({"blank"})},
        // "--" ends the options: what follows is the directory, whatever it looks like.
        {"", kAsk + kDirPrompt + "-h\n0 | b\n\n" + prompt("b"), 1, given({"--", "-h"})},
        // Options answer without starting the player. Each has a short and a long name in one row of
        // its table: one of each is tried.
        {"", usage, 0, given({"-h"})},
        {"", "quavelin " QUAVELIN_VERSION "\n", 0, given({"--version"})},
        {"", "", 2, given({"-x"}), "quavelin: unknown option '-x'\n" + usage},
        {"", "", 2, given({"a", "b"}), "quavelin: one directory at most ('b' is a second one)\n" + usage},
    };
    for (const auto& [input, output, status, options, complaint] : cases) {
        SCOPED_TRACE(input.substr(0, 40) + (options.arguments.empty() ? "" : " for " + options.arguments[0]));
        auto run = runPlayer(tree.root(), input, options);
        EXPECT_EQ(run.status, status);
        // The usage goes on with every option.
        EXPECT_EQ(maskTimes(run.out).substr(0, output == usage ? usage.size() : std::string::npos), output);
        EXPECT_EQ(run.err, complaint);
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

// Ctrl-C, kill and a closed terminal end the player by their default action, also once the sound
// libraries (which like to install handlers of their own) are loaded.
TEST(EndToEndSignals, EndThePlayerByTheirDefaultAction) {
    TempTree tree;
    fs::copy_file(kLongTrack, tree.root() / "a.mp3");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::unique_ptr<harness::Child> player = startPlayer(tree.root());
        player->write(".\n");
        // Once the track has played a moment, the sound libraries are surely in.
        ASSERT_TRUE(player->waitFor(prompt("a"), harness::Clock::now() + 20s));
        std::this_thread::sleep_for(300ms);
        ::kill(player->pid(), signal);
        EXPECT_EQ(player->wait(harness::Clock::now() + 10s).status, 128 + signal) << signal;
    }
}

}  // namespace
