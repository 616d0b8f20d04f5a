// The command reader's rules and the small output lines, as tables.
#include <gtest/gtest.h>

#include <cstring>

#include "console/command_reader.h"
#include "console/status_lines.h"
#include "tests/fake/fake_platform.h"

namespace {

TEST(CommandReader, MapsWordsByWholeWordFirstLetterAndDigitRules) {
    const std::pair<const char*, CommandCode> table[] = {
        {"stop", CmdStop},
        {"s", CmdNone},
        {"stops", CmdNone},
        {"Stop", CmdNone},
        {"n", CmdNext},
        {"nothing", CmdNext},
        {"no", CmdNext},
        {"N", CmdNone},
        {"b", CmdBefore},
        {"back", CmdBefore},
        {"play", CmdPause},
        {"P", CmdNone},
        {"repeat", CmdResume},
        {"resume", CmdResume},
        {"rel", CmdResume},
        {"e", CmdNone},
        {"exi", CmdNone},
        {"exit", CmdExit},
        {"ls", CmdList},
        {"time", CmdTime},
        {"alloop", CmdAllLoop},
        {"help", CmdHelp},
        {"shuffle", CmdShuffle},
        {"loop", CmdLoop},
        {"cd", CmdChangeDir},
        {"dir", CmdDir},
        {"jump", CmdJump},
        {"jumps", CmdNone},
        {"f", CmdForward10},
        {"ff", CmdNone},
        {"d", CmdBack10},
        {"d10", CmdNone},
        {"do", CmdNone},
        {"0", 10},
        {"3", 13},
        {"007", 17},
        {"12abc", 22},
        {"12.5", 22},
        {"-1", CmdNone},
        {"+3", CmdNone},
        {"50", 60},
        {"51", 61},
    };
    for (const auto& [word, code] : table) EXPECT_EQ(commandForWord(word), code) << word;
    // A number far past 32 bits stays a code that does nothing, without overflowing.
    EXPECT_GT(commandForWord("99999999999999999999999999999"), 60);
}

TEST(CommandReader, ReadsOneWordAtATimeAndTakesEndOfInputAsExit) {
    fake::reset();
    fake::type("  \n\t next   ls\n");
    EXPECT_EQ(readCommand(), CmdNext);
    EXPECT_EQ(readCommand(), CmdList);
    EXPECT_EQ(readCommand(), CmdExit);
    // A word of any length is cut safely and still maps by its first letter.
    fake::reset();
    fake::type(std::string(100000, 'n') + " " + std::string(300, 'x'));
    EXPECT_EQ(readCommand(), CmdNext);
    EXPECT_EQ(readCommand(), CmdNone);
}

std::string bar(std::int32_t elapsed, std::int32_t length) {
    fake::reset();
    showTimeBar(elapsed, length);
    return fake::output();
}

TEST(StatusLines, TimeBarCountsReachedMarksIncludingInfinitiesAndNotANumber) {
    auto marks = [](int reached) {
        return std::string(static_cast<std::size_t>(reached), '>') +
               std::string(static_cast<std::size_t>(30 - reached), '.') + "\n";
    };
    EXPECT_EQ(bar(0, 200), marks(1));
    EXPECT_EQ(bar(100, 200), marks(16));
    EXPECT_EQ(bar(125, 200), marks(19));
    EXPECT_EQ(bar(1, 3), marks(11));  // exactly on a mark counts as reached
    EXPECT_EQ(bar(194, 200), marks(30));
    EXPECT_EQ(bar(250, 200), marks(30));
    EXPECT_EQ(bar(0, 0), marks(0));   // not-a-number
    EXPECT_EQ(bar(5, 0), marks(30));  // +infinity
    EXPECT_EQ(bar(-5, 0), marks(0));
    EXPECT_EQ(bar(-5, 200), marks(0));
}

TEST(StatusLines, PromptCutsAtTheLastDotAndLeavesTheNameWhole) {
    for (const auto& [name, shown] :
         {std::pair{"song.mp3", "song"}, {"a.b.mp3", "a.b"}, {".mp3", ""}, {"plain", "plain"}}) {
        fake::reset();
        char slot[256];
        std::strcpy(slot, name);
        showPrompt(slot);
        EXPECT_EQ(fake::output(), std::string("Quavelin~ ") + shown + "~$ ");
        EXPECT_STREQ(slot, name);
    }
}

TEST(StatusLines, OnOffLinesPadTheLabelToEightColumns) {
    fake::reset();
    showOnOff(1, "shuffle");
    showOnOff(0, "loop");
    showOnOff(2, "alloop");
    showOnOff(0, "longerlabel");
    EXPECT_EQ(fake::output(), "shuffle  on\nloop     off\nalloop   on\nlongerlabel off\n");
}

}  // namespace
