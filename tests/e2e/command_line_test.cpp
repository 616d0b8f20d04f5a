// The real binary as a process: its command line, the directory prompts' quoted answers, and the
// signals that end it.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

TEST(EndToEndCommandLine, ADirectoryArgumentIsTheFirstAnswerByteForByte) {
    TempTree tree;
    tree.addFile("music/a.mp3");
    tree.addFile("empty/notes.txt");
    for (const char* directory : {"music", "missing", "empty"}) {
        auto given = runPlayer(tree.root(), "music\nexit\n", {.arguments = {directory}});
        EXPECT_EQ(given.out, runPlayer(tree.root(), std::string(directory) + "\nmusic\nexit\n").out);
        EXPECT_EQ(given.status, 1) << directory;
    }
    // "--" ends the options: what follows is the directory, whatever it looks like.
    tree.addFile("-h/b.mp3");
    EXPECT_EQ(runPlayer(tree.root(), "exit\n", {.arguments = {"--", "-h"}}).out,
              kAsk + kDirPrompt + "0 | b\n\n" + prompt("b"));
}

TEST(EndToEndCommandLine, OptionsAnswerWithoutStartingThePlayer) {
    TempTree tree;
    const std::string usage = "Usage: quavelin [OPTION]... [DIRECTORY]\n";
    const std::regex help(
        "Usage: quavelin \\[OPTION\\]\\.\\.\\. \\[DIRECTORY\\]\n[\\s\\S]*man quavelin[\\s\\S]*");
    const std::regex version("quavelin [0-9]+\\.[0-9]+\\.[0-9]+\n");
    for (const auto& [option, shown] :
         {std::pair{"-h", help}, {"--help", help}, {"-V", version}, {"--version", version}}) {
        auto run = runPlayer(tree.root(), "", {.arguments = {option}});
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(std::regex_match(run.out, shown)) << option << run.out;
    }
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"-x"}, "quavelin: unknown option '-x'\n"},
        {{"a", "b"}, "quavelin: one directory at most ('b' is a second one)\n"},
    };
    for (const auto& [arguments, complaint] : wrong) {
        auto run = runPlayer(tree.root(), "music\n", {.arguments = arguments});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, complaint + usage);
    }
}

TEST(EndToEndCommandLine, QuotedAnswersAtTheDirectoryPromptsHoldBlanks) {
    TempTree tree;
    tree.addFile("Some Artist/Album One/a.mp3");
    tree.addFile("Other Dir/b.mp3");
    tree.addFile("Some/x.mp3");
    // Closed quotes at start-up and for cd; an unclosed quote runs to the end of its line.
    EXPECT_EQ(runPlayer(tree.root(), "\"Some Artist/Album One\"\ncd \"../../Other Dir\nexit\n").out,
              kAsk + kDirPrompt + "0 | a\n\n" + prompt("a") + kDirPrompt + "\n" + prompt("b"));
    // Unquoted, a blank still ends the answer: "Some" is entered, "Artist/..." answers the
    // command prompt.
    EXPECT_EQ(runPlayer(tree.root(), "Some Artist/Album\nexit\n").out,
              kAsk + kDirPrompt + "0 | x\n\n" + prompt("x"));
}

// Ctrl-C, kill and a closed terminal end the player by their default action in every state, also
// once the sound libraries (which like to install handlers of their own) are loaded.
TEST(EndToEndSignals, EndThePlayerByTheirDefaultActionWhilePlayingPausedOrAsking) {
    TempTree tree;
    std::filesystem::copy_file(std::filesystem::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/cbr.mp3",
                               tree.root() / "a.mp3");
    // What is typed to reach each state, and what the player prints once there.
    const std::pair<std::string, std::string> states[] = {
        {"", prompt("a")}, {"p\n", prompt("a") + prompt("a")}, {"jump\n", kMinutePrompt}};
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const auto& [typed, shown] : states) {
            SCOPED_TRACE(std::to_string(signal) + " after '" + typed + "'");
            std::unique_ptr<harness::Child> player = startPlayer(tree.root());
            player->write(".\n" + typed);
            // Once the track has played a moment, the sound libraries are surely in.
            ASSERT_TRUE(player->waitFor(shown, harness::Clock::now() + 20s));
            std::this_thread::sleep_for(300ms);
            ::kill(player->pid(), signal);
            EXPECT_EQ(player->wait(harness::Clock::now() + 10s).status, 128 + signal);
        }
    }
}

}  // namespace
