// The command line and the directory prompts' quoted answers, on the real binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/e2e/player_texts.h"
#include "tests/e2e/run_player.h"

namespace {

using namespace e2e;

TEST(EndToEndCommandLine, ADirectoryArgumentIsTheFirstAnswerByteForByte) {
    TempTree tree;
    tree.addFile("music/a.mp3");
    tree.addFile("empty/notes.txt");
    for (const char* directory : {"music", "missing", "empty"}) {
        e2e::Run given = runPlayerWithArguments({directory}, tree.root(), "music\nexit\n");
        e2e::Run typed = runPlayer(tree.root(), std::string(directory) + "\nmusic\nexit\n");
        EXPECT_EQ(given.out, typed.out) << directory;
        EXPECT_EQ(given.status, 1) << directory;
    }
    // "--" ends the options: what follows is the directory, whatever it looks like.
    tree.addFile("-h/b.mp3");
    EXPECT_EQ(runPlayerWithArguments({"--", "-h"}, tree.root(), "exit\n").out,
              kAsk + kDirPrompt + "0 | b\n\n" + prompt("b"));
}

TEST(EndToEndCommandLine, OptionsAnswerWithoutStartingThePlayer) {
    TempTree tree;
    const std::string usage = "Usage: quavelin [OPTION]... [DIRECTORY]\n";
    for (const char* help : {"-h", "--help"}) {
        e2e::Run run = runPlayerWithArguments({help}, tree.root(), "");
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.out.starts_with(usage)) << run.out;
        EXPECT_NE(run.out.find("man quavelin"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
    for (const char* version : {"-V", "--version"}) {
        e2e::Run run = runPlayerWithArguments({version}, tree.root(), "");
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(std::regex_match(run.out, std::regex("quavelin [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
    }
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"-x"}, "quavelin: unknown option '-x'\n"},
        {{"--helpp", "music"}, "quavelin: unknown option '--helpp'\n"},
        {{"a", "b"}, "quavelin: one directory at most ('b' is a second one)\n"},
    };
    for (const auto& [arguments, complaint] : wrong) {
        e2e::Run run = runPlayerWithArguments(arguments, tree.root(), "music\n");
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
    e2e::Run run = runPlayer(tree.root(), "\"Some Artist/Album One\"\ncd \"../../Other Dir\nexit\n");
    EXPECT_EQ(run.out, kAsk + kDirPrompt + "0 | a\n\n" + prompt("a") + kDirPrompt + "\n" + prompt("b"));
    // Unquoted, a blank still ends the answer: "Some" is entered, "Artist/..." answers the
    // command prompt.
    run = runPlayer(tree.root(), "Some Artist/Album\nexit\n");
    EXPECT_EQ(run.out, kAsk + kDirPrompt + "0 | x\n\n" + prompt("x"));
}

}  // namespace
