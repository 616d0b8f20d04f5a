// Scenarios of help, time, the seeks, jump and cd on the virtual clock: what the real-binary
// session cannot pin down (exact times, positions, the moment a track ends).
#include <gtest/gtest.h>

#include "tests/unit/scenario.h"

namespace {

using scenario::addTracks;
using scenario::runPlayer;

std::vector<std::string> plays() { return fake::plays(); }

class Actions : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    // Starts the player in /m and returns what it printed after the first prompt.
    std::string session(std::initializer_list<std::pair<std::int64_t, std::string>> typed,
                        int expectStatus = 1) {
        fake::type("/m\n");
        for (const auto& [atMs, text] : typed) fake::typeAt(atMs, text);
        EXPECT_EQ(runPlayer(), expectStatus);
        const std::string& out = fake::output();
        auto prompt = out.find("\nQuavelin~ ");
        auto end = prompt == std::string::npos ? prompt : out.find("~$ ", prompt);
        return end == std::string::npos ? out : out.substr(end + 3);
    }
};

const std::string kInvalid = "コマンドが無効です。\n";

TEST_F(Actions, HelpTakesAWordAlreadyTypedAndKnowsOnlyItsRows) {
    addTracks("/m", {"a.mp3"});
    std::string out = session({{400, "loop alloop help ls\n"},
                               {600, "help b help before help n help next\n"},
                               {800, "help nothing help Help help d help f help 3\n"},
                               {1000, "help cd help dir help jump help time\n"},
                               {2000, "exit\n"}});
    EXPECT_NE(out.find("shuffle  off\nloop     on\nalloop   on\n\nplease type to cmd "
                       "~$全曲一覧を表示します\nQuavelin~ a~$ "),
              std::string::npos);
    const std::string before =
        "現在再生されている曲の前の曲を再生します\n但し、再生開始後4秒を基準にそれ以前なら前の曲\nそれ以後は"
        "その曲を再生します。\n";
    const std::string next = "現在再生されている曲の次の曲を再生します\n";
    EXPECT_EQ(scenario::count(out, before), 2);
    EXPECT_EQ(scenario::count(out, next), 2);
    EXPECT_EQ(scenario::count(out, "~$" + kInvalid), 5);
    EXPECT_NE(out.find("現在のパスはdirコマンドで取得可能です\n\nQuavelin~"), std::string::npos);
    EXPECT_NE(out.find("現在のディレクトリのパスを取得します。\n\nQuavelin~"), std::string::npos);
    EXPECT_NE(out.find("指定した時点へジャンプします\n\nQuavelin~"), std::string::npos);
    EXPECT_NE(out.find("曲の長さと、既に再生された時間を表示します.\nQuavelin~"), std::string::npos);
}

TEST_F(Actions, TimeLineShowsPlayedAndLengthWithTheBar) {
    addTracks("/m", {"a.mp3"}, 200);
    addTracks("/m", {"b.mp3"}, 61);
    std::string out =
        session({{75'000, "time\n"}, {76'000, "n\n"}, {76'000 + 59'000, "time\n"}, {140'000, "exit\n"}});
    EXPECT_NE(out.find("\n1 min 15 sec / 3 min 20 sec\n" + std::string(12, '>') + std::string(18, '.') +
                       "\nQuavelin~ a~$ "),
              std::string::npos);
    EXPECT_NE(out.find("\n0 min 59 sec / 1 min 1 sec\n"), std::string::npos);
}

TEST_F(Actions, TimeStandsStillDuringAPauseAndAJumpBeforeTheStartPlaysFromTheStart) {
    addTracks("/m", {"a.mp3"}, 200);
    std::string out = session({{10'000, "p\n"},
                               {15'000, "time\n"},
                               {25'000, "time\n"},
                               {30'000, "jump -1 -5 time\n"},
                               {31'000, "exit\n"}});
    // Twice by "time", once more by the time line that "jump" prints first.
    EXPECT_EQ(scenario::count(out, "\n0 min 10 sec / 3 min 20 sec\n"), 3);
    EXPECT_NE(out.find("\n0 min 0 sec / 3 min 20 sec\n>" + std::string(29, '.') + "\n"), std::string::npos);
    EXPECT_EQ(fake::plays().back(), "a.mp3@0");
}

TEST_F(Actions, SeekBackNeedsTenPlayedSecondsAndRestartsTheDeviceThere) {
    addTracks("/m", {"a.mp3"}, 200);
    std::string out = session({{8000, "d\n"}, {30'000, "d\n"}, {30'400, "time\n"}, {31'000, "exit\n"}});
    EXPECT_EQ(plays(), (std::vector<std::string>{"a.mp3@0", "a.mp3@20"}));
    EXPECT_TRUE(
        out.starts_with("Quavelin~ a~$ \n0 min 20 sec / 3 min 20 sec\n"));  // "d" at 8 s printed nothing
}

TEST_F(Actions, SeeksCountFromThePlayedTimeAfterAPause) {
    addTracks("/m", {"a.mp3"}, 200);
    // 20 s of sound, a 10 s pause, then back: 10 s into the track, not 20.
    session({{20'000, "pause\n"}, {30'000, "d\n"}, {35'000, "p\n"}, {40'000, "f\n"}, {41'000, "exit\n"}});
    EXPECT_EQ(plays(), (std::vector<std::string>{"a.mp3@0", "a.mp3@10", "a.mp3@25"}));
}

TEST_F(Actions, SeekForwardInTheLastSecondsEndsTheTrackAtTheNextCheck) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 15);
    session({{8000, "f\n"}, {9000, "exit\n"}});
    ASSERT_EQ(plays(), (std::vector<std::string>{"a.mp3@0", "a.mp3@18", "b.mp3@0"}));
    EXPECT_EQ(fake::deviceCalls().back().atMs, 8200);
}

TEST_F(Actions, JumpRestartsAtTheAnsweredTimeCountingFromTheAnswer) {
    addTracks("/m", {"a.mp3", "b.mp3"}, 200);
    session({{10'000, "jump\n"}, {20'000, "1\n"}, {25'000, "90\n"}, {200'000, "exit\n"}});
    auto calls = fake::deviceCalls();
    EXPECT_EQ(plays(), (std::vector<std::string>{"a.mp3@0", "a.mp3@150", "b.mp3@0"}));
    auto b = std::find_if(calls.begin(), calls.end(),
                          [](const auto& c) { return c.what == "play" && c.name == "b.mp3"; });
    ASSERT_NE(b, calls.end());
    EXPECT_EQ(b->atMs, 25'000 + 51'000);  // 50 s left of 200, and the second of grace
    EXPECT_NE(fake::output().find("移動先時間指定 分単位 ~$ 移動先時間指定 秒単位 ~$ Quavelin~ a~$ "),
              std::string::npos);
}

TEST_F(Actions, JumpTakesAWordThatIsNoNumberAsZeroAndHugeNumbersSafely) {
    addTracks("/m", {"a.mp3"}, 200);
    session(
        {{1000, "jump abc 12x\n"}, {2000, "jump 99999999999999999999 -99999999999999\n"}, {3000, "exit\n"}});
    const auto& calls = fake::deviceCalls();
    std::vector<std::uint32_t> from;
    for (const auto& c : calls)
        if (c.what == "play") from.push_back(c.fromMs);
    // 0, then 12 s; the huge answer lies past the end, so the track ends and starts again at 0.
    ASSERT_EQ(from.size(), 4u);
    EXPECT_EQ(from[1], 12'000u);
    EXPECT_EQ(from[3], 0u);
}

TEST_F(Actions, ChangeDirectoryFailsQuietlyOrPlaysFromTheNewList) {
    addTracks("/m", {"0.mp3", "1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}, 100);
    addTracks("/two", {"x.mp3", "y.mp3"}, 100);
    std::string out = session({{400, "5\n"}, {1000, "cd /nowhere\n"}, {2000, "cd /two\n"}, {3000, "exit\n"}});
    EXPECT_NE(out.find("Quavelin~ 5~$ Please type to new Directory~$ 失敗しました\nQuavelin~ 5~$ Please type "
                       "to new Directory~$ \nQuavelin~ x~$ "),
              std::string::npos);
    EXPECT_EQ(plays(), (std::vector<std::string>{"0.mp3@0", "5.mp3@0", "x.mp3@0"}));
    EXPECT_EQ(fake::currentDirectory(), "/two");
}

}  // namespace
