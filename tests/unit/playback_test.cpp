// Whole-player scenarios of the playback loop and the command actions on the virtual clock.
#include <gtest/gtest.h>

#include "tests/unit/scenario.h"

namespace {

using scenario::addTracks;
using scenario::runPlayer;

struct Start {
    std::int64_t atMs;
    std::string name;
    bool operator==(const Start&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Start& s) { return os << s.name << "@" << s.atMs; }

// Every play from the beginning of a file, with the virtual time it started.
std::vector<Start> starts() {
    std::vector<Start> result;
    for (const fake::DeviceCall& call : fake::deviceCalls())
        if (call.what == "play" && call.fromMs == 0) result.push_back({call.atMs, call.name});
    return result;
}

std::vector<std::string> startNames() {
    std::vector<std::string> names;
    for (const Start& s : starts()) names.push_back(s.name);
    return names;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    // Starts the player in /m; input holds the directory, then pieces typed at given times.
    void play(std::initializer_list<std::pair<std::int64_t, std::string>> typed) {
        fake::type("/m\n");
        for (const auto& [atMs, text] : typed) fake::typeAt(atMs, text);
    }
};

TEST_F(Playback, TracksFollowListOrderAndWrapWithALineEndBeforeEachPrompt) {
    addTracks("/m", {"a.mp3", "b.mp3", "c.mp3"}, 2);
    play({{10'000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(starts(),
              (std::vector<Start>{{0, "a.mp3"}, {3000, "b.mp3"}, {6000, "c.mp3"}, {9000, "a.mp3"}}));
    EXPECT_TRUE(
        fake::output().ends_with("2 | c\n\nQuavelin~ a~$ \nQuavelin~ b~$ \nQuavelin~ c~$ \nQuavelin~ a~$ "));
}

TEST_F(Playback, AlloopEndsAfterTheLastTrackWithALineEndAndStatusOne) {
    addTracks("/m", {"a.mp3", "b.mp3", "c.mp3"}, 2);
    play({{1000, "alloop\n"}, {60'000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(startNames(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_TRUE(fake::output().ends_with("Quavelin~ a~$ Quavelin~ a~$ \nQuavelin~ b~$ \nQuavelin~ c~$ \n"));
    EXPECT_LT(fake::nowMs(), 60'000);
}

TEST_F(Playback, PastSlotFortyNineTheLoopReadsOneCharacterAndReturnsZero) {
    // With alloop on, and in loop mode with 49 typed, the index still reaches 50 and the loop ends.
    for (const auto& [typed, last] : {std::pair{"alloop 48\n", "t49~$ "}, {"loop 49\n", "t00~$ "}}) {
        fake::reset();
        fake::addDirectory("/m");
        for (int n = 0; n < 50; ++n) {
            std::string name = "t" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".mp3";
            fake::addFile("/m/" + name);
            fake::setLengthMs(name, 0);
        }
        play({{300, typed}, {100'000, "x"}});
        EXPECT_EQ(runPlayer(), 0) << typed;
        EXPECT_TRUE(fake::output().ends_with(last)) << typed;
        EXPECT_LT(fake::nowMs(), 100'000) << typed;  // the line end left after the word answered the read
    }
}

TEST_F(Playback, BeforeGoesBackEarlyInATrackAndRestartsItLater) {
    addTracks("/m", {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}, 60);
    // 3 s into slot 0: the last track. Then pick slot 2 and, 10 s in, restart it.
    play({{3000, "b\n"}, {4000, "2\n"}, {15'000, "before\n"}, {20'000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(startNames(), (std::vector<std::string>{"a.mp3", "e.mp3", "c.mp3", "c.mp3"}));
}

TEST_F(Playback, UnknownWordsAndNumbersAboveFiftyPrintNothing) {
    addTracks("/m", {"a.mp3"}, 60);
    play({{400, "hello 51 99999999999999999999 -1\n"}, {2000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_TRUE(fake::output().ends_with("0 | a\n\nQuavelin~ a~$ "));
    EXPECT_EQ(startNames(), (std::vector<std::string>{"a.mp3"}));
}

TEST_F(Playback, StopSilencesTheTrackWhichThenEndsByTheClock) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 5);
    play({{1000, "stop\n"}, {2000, "xyz\n"}, {20'000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    // After stop the next word is read at once, without a key press: here it waits for "xyz".
    EXPECT_EQ(starts(),
              (std::vector<Start>{{0, "a.mp3"}, {6000, "b.mp3"}, {12'000, "a.mp3"}, {18'000, "b.mp3"}}));
    const auto& calls = fake::deviceCalls();
    auto close = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.what == "close"; });
    ASSERT_NE(close, calls.end());
    EXPECT_EQ(close->atMs, 1000);
    EXPECT_NE(fake::output().find("Quavelin~ a~$ Quavelin~ a~$ \nQuavelin~ b~$ "), std::string::npos);
}

TEST_F(Playback, ALineIsActedOnWhenTypedWhileTheEndIsCheckedAtItsOwnPace) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 3);
    play({{1110, "p\n"}, {1350, "time\n"}, {1390, "r\n"}, {9000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    std::vector<std::string> seen;
    for (const fake::DeviceCall& call : fake::deviceCalls())
        if (call.what == "pause" || call.what == "resume")
            seen.push_back(call.what + "@" + std::to_string(call.atMs));
    EXPECT_EQ(seen, (std::vector<std::string>{"pause@1110", "resume@1390"}));
    // 3 s of sound and one of grace: the check at 4 s, as with nothing typed.
    EXPECT_EQ(starts()[1], (Start{4000, "b.mp3"}));
}

TEST_F(Playback, ASecondPauseKeepsTheFirstOnesStartSoTheWholePauseMovesTheEnd) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 10);
    play({{2000, "pause\n"}, {7000, "p\n"}, {12'000, "rel\n"}, {40'000, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    // 10 s of sound, 10 s of pause and the one second of grace.
    ASSERT_GE(starts().size(), 2u);
    EXPECT_EQ(starts()[1], (Start{21'000, "b.mp3"}));
}

TEST_F(Playback, ReleaseWhenNotPausedPrintsOnlyThePrompt) {
    addTracks("/m", {"a.mp3"}, 10);
    play({{400, "rel\n"}, {600, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_TRUE(fake::output().ends_with("\nQuavelin~ a~$ Quavelin~ a~$ "));
    for (const auto& call : fake::deviceCalls()) EXPECT_NE(call.what, "resume");
}

TEST_F(Playback, ATrackOfLengthZeroEndsAfterOneSecond) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 0);
    play({{2500, "exit\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(starts(), (std::vector<Start>{{0, "a.mp3"}, {1000, "b.mp3"}, {2000, "a.mp3"}}));
}

TEST_F(Playback, ExitEndsAtOnceWithoutClosingTheDevice) {
    addTracks("/m", {"a.mp3"}, 60);
    play({{400, "exit next\n"}});
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(fake::deviceCalls().back().what, "length");
}

}  // namespace
