// The line editor's rules that need no terminal: what is written above the typed line and what
// stays its prompt, what Tab makes of an answer, and the history kept between runs.
#include <histedit.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/posix/completion.h"
#include "platform/posix/line_editor.h"
#include "platform/posix/stderr_notices.h"
#include "platform/posix/terminal.h"
#include "platform/posix/terminal_text.h"
#include "platform/posix/typed_history.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::posix;

TEST(TerminalText, WholeLinesGoAboveAndAShownPromptEndsWhenMoreComesANeverShownOneGoesOn) {
    TerminalText text;
    text.add("0 | a\n\nQuavelin~ a~$ ");
    EXPECT_EQ(text.takeLines(false), "0 | a\n\n");
    EXPECT_EQ(text.prompt(), "Quavelin~ a~$ ");
    // Shown while the player waited: a new track's own line end ends it.
    text.add("\nQuavelin~ b~$ ");
    EXPECT_EQ(text.takeLines(true), "Quavelin~ a~$ \n");
    EXPECT_EQ(text.prompt(), "Quavelin~ b~$ ");
    // A call from the desktop's bus prints the prompt again: the shown one ends with a line of its own.
    text.add("Quavelin~ b~$ ");
    EXPECT_EQ(text.takeLines(true), "Quavelin~ b~$ \n");
    EXPECT_EQ(text.prompt(), "Quavelin~ b~$ ");
    // Entered, the prompt is on the screen with its line; what comes next starts afresh.
    text.promptAnswered();
    text.add("\n0 min 3 sec");
    EXPECT_EQ(text.takeLines(false), "\n");
    EXPECT_EQ(text.prompt(), "0 min 3 sec");
    // "help ls" typed on one line: the help's question is answered before it could be shown, and
    // goes on on its line.
    text = TerminalText();
    text.add("please type to cmd ~$");
    EXPECT_EQ(text.takeLines(false), "");
    text.add("全曲一覧を表示します\nQuavelin~ a~$ ");
    EXPECT_EQ(text.takeLines(false), "please type to cmd ~$全曲一覧を表示します\n");
    EXPECT_EQ(text.prompt(), "Quavelin~ a~$ ");
}

// Only a terminal that can move its cursor gets the line editor.
TEST(Terminal, TheEditorNeedsACursorThatMoves) {
    EXPECT_TRUE(terminal::movesItsCursor("xterm-256color"));
    for (const char* type : {"dumb", ""}) EXPECT_FALSE(terminal::movesItsCursor(type)) << type;
    EXPECT_FALSE(terminal::movesItsCursor(nullptr));
}

// Standard error caught while the editor runs: whole lines are shown, a line without its end waits
// for it, and at the end standard error is what it was, with what was left written to it.
TEST(StderrNotices, WholeLinesAreTakenAndStandardErrorComesBack) {
    char pattern[] = "/tmp/quavelin-stderr-XXXXXX";
    const int file = ::mkstemp(pattern);
    ASSERT_GE(file, 0);
    const int before = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    {
        StderrNotices notices;
        std::fputs("quavelin: one\nquavelin: tw", stderr);
        EXPECT_EQ(notices.take(), "quavelin: one\n");
        std::fputs("o\nquavelin: thr", stderr);
        EXPECT_EQ(notices.take(), "quavelin: two\n");
        std::fputs("ee", stderr);
    }
    std::fputs("after\n", stderr);
    ::dup2(before, STDERR_FILENO);
    std::ifstream written(pattern);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "quavelin: three\nafter\n");
    ::unlink(pattern);
}

// The editor reads and shows what the player writes: a Shift_JIS or UTF-8 locale's own characters,
// UTF-8 in any other (the C locale's ASCII among them).
TEST(LineEditor, ReadsAndShowsTheCharacterSetThePlayerWritesIn) {
    for (const char* own : {"UTF-8", "SHIFT_JIS", "CP932"}) EXPECT_STREQ(editorLocaleFor(own), "") << own;
    for (const char* other : {"ANSI_X3.4-1968", "ISO-8859-1", ""})
        EXPECT_STREQ(editorLocaleFor(other), "C.UTF-8") << other;
}

// A tree of directories with awkward names, entered for the test (each test runs in a process of
// its own).
class Completing : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quavelin-completion-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        for (const char* name : {"music/sub", "my music", "my movies", ".hidden", "say \"hi\""})
            fs::create_directories(root / name);
        std::ofstream(root / "notes").flush();
        fs::create_directory_symlink(root / "music", root / "link");
        fs::current_path(root);
    }
    void TearDown() override { fs::remove_all(root); }

    static std::string shown(const Completion& done) {
        std::string all = std::to_string(done.replaced) + ":" + done.text + (done.quoted ? " (quoted)" : "");
        for (const std::string& choice : done.choices) all += "|" + choice;
        return all;
    }

    fs::path root;
};

TEST_F(Completing, DirectoriesAndTheWordBeforeTheCursorAreWrittenAsThePlayerReadsThemBack) {
    const std::string absolute = root.string() + "/mu";
    const std::pair<std::string, std::string> cases[] = {
        // One directory: its whole name and a slash; with a blank, in quotes that the line may close.
        {"mu", "2:music/"},
        {"music/s", "7:music/sub/"},
        {"my mu", "2:music/"},  // unquoted, "my" is an answer of its own
        {"\"my mu", "6:\"my music/ (quoted)"},
        {absolute, std::to_string(absolute.size()) + ":" + root.string() + "/music/"},
        {"\"" + root.string() + "/my mu",
         std::to_string(root.string().size() + 7) + ":\"" + root.string() + "/my music/ (quoted)"},
        {"li", "2:link/"},
        // Several: as far as they agree, then all of them.
        {"my", "2:\"my m (quoted)"},
        {"\"my m", "0:|my movies|my music"},
        // Hidden ones only when asked for; no file, and no name a quoted answer would cut.
        {"", "0:|link|music|my movies|my music"},
        {".h", "2:.hidden/"},
        {"no", "0:"},
        {"say", "0:"},
    };
    for (const auto& [typed, expected] : cases) EXPECT_EQ(shown(completeDirectory(typed)), expected) << typed;
    // A command word: the one before the cursor, as far as the words agree.
    const std::vector<std::string> words{"before", "next", "alloop", "ls", "loop", "help", "exit"};
    EXPECT_EQ(shown(completeWord("help l", words)), "0:|loop|ls");
    EXPECT_EQ(shown(completeWord("help lo", words)), "2:loop ");
}

std::vector<std::string> linesIn(History* history) {
    std::vector<std::string> lines;
    HistEvent event;
    for (int found = ::history(history, &event, H_LAST); found == 0;
         found = ::history(history, &event, H_PREV))
        lines.emplace_back(event.str);
    return lines;
}

TEST(TypedHistory, TheLastLinesAreKeptBetweenRunsWhereXdgSays) {
    EXPECT_EQ(historyPath("/state", "/home/u"), "/state/quavelin/history");
    EXPECT_EQ(historyPath(nullptr, "/home/u"), "/home/u/.local/state/quavelin/history");
    EXPECT_EQ(historyPath("relative", "/home/u"), "/home/u/.local/state/quavelin/history");
    EXPECT_EQ(historyPath("", nullptr), "");

    char pattern[] = "/tmp/quavelin-history-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const std::string path = (root / "state/quavelin/history").string();
    {
        TypedHistory typed(path);
        for (int k = 0; k < kHistoryLines + 10; ++k) typed.add("cd \"line " + std::to_string(k) + "\"");
        typed.add("cd \"line 509\"");  // the same again
        typed.add(" \t");
    }
    TypedHistory again(path);
    const std::vector<std::string> lines = linesIn(again.get());
    ASSERT_EQ(lines.size(), 500u);
    EXPECT_EQ(lines.front(), "cd \"line 10\"");
    EXPECT_EQ(lines.back(), "cd \"line 509\"");
    // For the user alone, as the state directories are.
    struct stat folder = {}, file = {};
    ASSERT_EQ(::stat((root / "state/quavelin").c_str(), &folder), 0);
    ASSERT_EQ(::stat(path.c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);

    // One that can be neither read nor written is done without.
    const std::string unusable = (root / "state/quavelin").string();
    TypedHistory without(unusable);
    without.add("ls");
    EXPECT_EQ(linesIn(without.get()), std::vector<std::string>{"ls"});
    EXPECT_TRUE(fs::is_directory(unusable));
    fs::remove_all(root);
}

}  // namespace
