// The whole player on the virtual clock: what it does with the device, and when, for words typed
// and calls from the desktop's bus at given times. This is what the real-binary sessions can't pin
// down: exact times and positions, the moment a track ends, the order of words and calls.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "app/player.h"
#include "tests/fake/fake_platform.h"

namespace {

using platform::bus::Call;
constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();

// Files of the given length in dir.
void addTracks(const std::string& dir, const std::vector<std::string>& names, int lengthMs) {
    for (const std::string& name : names) {
        fake::addFile(dir + "/" + name);
        fake::setLengthMs(name, static_cast<std::uint32_t>(lengthMs));
    }
}

// A line typed at a time; without its line end, half of a word.
struct Typed {
    std::int64_t atMs;
    std::string text;
    bool lineEnd = true;
};

// A call from the desktop's bus at a time.
struct Called {
    std::int64_t atMs;
    Call call;
};
Called called(std::int64_t atMs, Call::Kind kind) { return {atMs, Call{.kind = kind}}; }
Called seek(std::int64_t atMs, std::int64_t us) { return {atMs, Call{.kind = Call::Kind::Seek, .us = us}}; }
Called setPosition(std::int64_t atMs, int slot, std::int64_t us) {
    return {atMs, Call{.kind = Call::Kind::SetPosition, .us = us, .slot = slot}};
}

struct Scenario {
    const char* name;
    std::vector<std::string> tracks;  // in /m, all of one length
    int lengthMs;
    std::vector<Typed> typed;  // after "/m" at once
    // Device calls: "ms name@position in ms" for a play, "ms what" for pause, resume and close.
    std::string calls;
    std::string shown;  // a piece of the output that must be there
    int status = 1;
    std::vector<Called> called = {};
    std::optional<int> soundLagMs = std::nullopt;  // the device's sound runs this far behind the clock
    // The device gives every file's length as {ms}, an estimate, until {untilMs}.
    std::optional<std::pair<std::uint32_t, std::int64_t>> estimate = std::nullopt;
};

// clang-format off
const Scenario kScenarios[] = {
    {"TracksWrapWithALineEndBeforeEachPrompt", {"a.mp3", "b.mp3", "c.mp3"}, 2000, {{10'000, "exit"}},
     "0 a.mp3@0, 0 queue b.mp3, 2000 advance, 2000 queue c.mp3, 4000 advance, 4000 queue a.mp3, 6000 advance, 6000 queue b.mp3, 8000 advance, 8000 queue c.mp3, 10000 finish",
     "2 | c\n\nQuavelin~ a~$ \nQuavelin~ b~$ \nQuavelin~ c~$ \nQuavelin~ a~$ "},
    {"AlloopEndsAfterTheLastTrackWithALineEnd", {"a.mp3", "b.mp3", "c.mp3"}, 2000, {{1000, "alloop"}, {60'000, "exit"}},
     "0 a.mp3@0, 0 queue b.mp3, 1000 withdraw, 1000 queue b.mp3, 2000 advance, 2000 queue c.mp3, 4000 advance, 6000 close, 6000 finish",
     "Quavelin~ a~$ Quavelin~ a~$ \nQuavelin~ b~$ \nQuavelin~ c~$ \n"},
    {"BeforeGoesBackEarlyAndRestartsLater", {"a.mp3", "b.mp3", "c.mp3"}, 60'000,
     {{3000, "b"}, {4000, "1"}, {15'000, "before"}, {16'000, "exit"}},
     "0 a.mp3@0, 3000 close, 3000 c.mp3@0, 4000 close, 4000 b.mp3@0, 15000 close, 15000 b.mp3@0, 16000 finish", ""},
    // A stop withdraws the track chosen to follow; the word that ends the wait after it, long past
    // the track's end, ends the track at once.
    {"StopSilencesTheTrackThenTheNextWordIsAwaited", {"a.mp3", "b.mp3"}, 2000, {{1000, "stop"}, {8050, "xyz"}, {9000, "exit"}},
     "0 a.mp3@0, 0 queue b.mp3, 1000 close, 1000 withdraw, 8050 close, 8050 b.mp3@0, 8050 queue a.mp3, 9000 finish",
     "Quavelin~ a~$ Quavelin~ a~$ \nQuavelin~ b~$ "},
    // Half a word waits for its end without holding up the checks, and is then a command to the new track.
    {"AHalfTypedWordLetsTheTrackEnd", {"a.mp3", "b.mp3"}, 3000, {{1000, "ti", false}, {5000, "me"}, {5500, "exit"}},
     "0 a.mp3@0, 1000 queue b.mp3, 3000 advance, 4000 queue a.mp3, 5500 finish", "\n0 min 2 sec / 0 min 3 sec\n"},
    {"ALineIsActedOnWhenTypedAndTheEndKeepsItsPace", {"a.mp3", "b.mp3"}, 3000,
     {{1110, "p"}, {1350, "time"}, {1390, "r"}, {5000, "exit"}},
     "0 a.mp3@0, 1000 queue b.mp3, 1110 pause, 1390 resume, 3280 advance, 4280 queue a.mp3, 5000 finish", ""},
    {"ASecondPauseKeepsTheFirstOnesStart", {"a.mp3", "b.mp3"}, 10'000,
     {{2000, "pause"}, {7000, "p"}, {12'000, "rel"}, {22'000, "exit"}},
     "0 a.mp3@0, 2000 pause, 7000 pause, 12000 resume, 18000 queue b.mp3, 20000 advance, 22000 finish", ""},
    // The choice of the next slot, one rule a row; shuffle's random numbers are 5 and 4.
    {"LoopPlaysTheTrackAgainOverShuffleAndBeforeStaysOnTheFirst", {"a.mp3", "b.mp3", "c.mp3"}, 2000,
     {{500, "shuffle loop"}, {3000, "b"}, {3500, "exit"}}, "0 a.mp3@0, 0 queue b.mp3, 500 withdraw, 500 queue c.mp3, 500 withdraw, 500 queue a.mp3, 2000 advance, 2000 queue a.mp3, 3000 withdraw, 3000 close, 3000 a.mp3@0, 3000 queue a.mp3, 3500 finish", ""},
    {"ShuffleChoosesEveryStartButATypedNumber", {"a.mp3", "b.mp3", "c.mp3"}, 2000,
     {{500, "shuffle"}, {2500, "0"}, {3000, "n"}, {3500, "exit"}},
     "0 a.mp3@0, 0 queue b.mp3, 500 withdraw, 500 queue c.mp3, 2000 advance, 2000 queue b.mp3, 2500 withdraw, 2500 close, 2500 a.mp3@0, 2500 queue a.mp3, 3000 withdraw, 3000 close, 3000 a.mp3@0, 3000 queue a.mp3, 3500 finish", ""},
    {"ANumberPastTheTracksWrapsToTheFirstButEndsTheRunInAlloop", {"a.mp3", "b.mp3", "c.mp3"}, 60'000,
     {{500, "7"}, {1000, "alloop 7"}}, "0 a.mp3@0, 500 close, 500 a.mp3@0, 1000 close, 1000 finish", ""},
    // The end of the 50 slots is one slot nearer in loop mode: there 49 ends the run.
    {"Slot49PlaysButEndsTheRunInLoopMode", {"a.mp3", "b.mp3", "c.mp3"}, 60'000, {{500, "49"}, {1000, "loop 49"}},
     "0 a.mp3@0, 500 close, 500 a.mp3@0, 1000 close, 1000 finish", "", 0},
    {"RelWhenNotPausedPrintsOnlyThePrompt", {"a.mp3"}, 10'000, {{400, "rel"}, {600, "exit"}}, "0 a.mp3@0, 600 finish",
     "\nQuavelin~ a~$ Quavelin~ a~$ "},
    // A pause, a seek and the end, all to the millisecond: the track ends the moment its whole
    // length has played, the next one chosen two seconds before and joined to it, and time shows
    // whole seconds.
    {"TheClockCountsMillisecondsAndATrackEndsOnceItsWholeLengthHasPlayed", {"a.mp3", "b.mp3"}, 15'450,
     {{1000, "p"}, {1130, "r"}, {1700, "f"}, {2000, "time"}, {6000, "exit"}},
     "0 a.mp3@0, 1000 pause, 1130 resume, 1700 close, 1700 a.mp3@11570, 3600 queue b.mp3, 5580 advance, 6000 finish",
     "\n0 min 11 sec / 0 min 15 sec\n"},
    {"ATrackOfLengthZeroEndsAfterOneSecondAndItsBarIsEmpty", {"a.mp3", "b.mp3"}, 0,
     {{500, "time"}, {1500, "exit"}}, "0 a.mp3@0, 0 queue b.mp3, 1000 advance, 1000 queue a.mp3, 1500 finish",
     "\n0 min 0 sec / 0 min 0 sec\n" + std::string(30, '.') + "\n"},
    // Listed, since the list takes ".mp3" in any case, but only "mp3" and "MP3" open the device.
    {"AMixedCaseExtensionIsListedButNeverPlays", {"a.Mp3", "b.mp3"}, 10'000, {{1500, "exit"}},
     "0 queue b.mp3, 1000 advance, 1500 finish", "0 | a\n1 | b\n"},
    {"ExitEndsAtOnceWithTheSoundFadedOutButTheDeviceOpen", {"a.mp3"}, 60'000, {{400, "exit next"}}, "0 a.mp3@0, 400 finish", ""},
    // The bar marks every thirtieth reached, the one it stands on (here the third) included.
    {"SeekBackNeedsTenPlayedSeconds", {"a.mp3"}, 200'000, {{8000, "d"}, {30'000, "d"}, {30'400, "time"}, {31'000, "exit"}},
     "0 a.mp3@0, 30000 close, 30000 a.mp3@20000, 31000 finish",
     "Quavelin~ a~$ Quavelin~ a~$ \n0 min 20 sec / 3 min 20 sec\n" + std::string(4, '>') + "....."},
    {"SeeksCountFromThePlayedTimeAfterAPause", {"a.mp3"}, 200'000,
     {{20'000, "pause"}, {30'000, "d"}, {35'000, "p"}, {40'000, "f"}, {41'000, "exit"}},
     "0 a.mp3@0, 20000 pause, 30000 close, 30000 a.mp3@10000, 35000 pause, 40000 close, 40000 a.mp3@25000, 41000 finish", ""},
    {"SeekForwardInTheLastSecondsEndsTheTrackAtOnce", {"a.mp3", "b.mp3"}, 15'000, {{8000, "f"}, {9000, "exit"}},
     "0 a.mp3@0, 8000 close, 8000 a.mp3@18000, 8000 queue b.mp3, 8000 advance, 9000 finish", ""},
    {"JumpCountsFromTheAnswerAndTakesNoNumberAsZero", {"a.mp3", "b.mp3"}, 200'000,
     {{10'000, "jump"}, {20'000, "1"}, {25'000, "90"}, {60'000, "jump abc 12x"}, {250'000, "exit"}},
     "0 a.mp3@0, 25000 close, 25000 a.mp3@150000, 60000 close, 60000 a.mp3@12000, 246000 queue b.mp3, 248000 advance, 250000 finish",
     "移動先時間指定 分単位 ~$ 移動先時間指定 秒単位 ~$ Quavelin~ a~$ "},
    // The device's position is 32-bit milliseconds: a jump past that plays from its end, and ends.
    {"AJumpPastAnyEndPlaysFromTheLatestPositionAndTheTrackEnds", {"a.mp3", "b.mp3"}, 200'000,
     {{1000, "jump 40000 0"}, {2000, "exit"}}, "0 a.mp3@0, 1000 close, 1000 a.mp3@2147483647, 1000 queue b.mp3, 1000 advance, 2000 finish", ""},
    {"TimeStandsStillInAPauseAndAJumpBeforeTheStartPlaysFromIt", {"a.mp3"}, 200'000,
     {{75'000, "p"}, {95'000, "time"}, {100'000, "jump -1 -5 time"}, {101'000, "exit"}},
     "0 a.mp3@0, 75000 pause, 100000 close, 100000 a.mp3@0, 101000 finish",
     "Quavelin~ a~$ \n1 min 15 sec / 3 min 20 sec\n" + std::string(12, '>') + std::string(18, '.') + "\n"},
    // Unquoted, a blank ends the answer ("/my" fails, "two" is a word at the prompt); a quote holds
    // blanks up to the closing one or the end of the line.
    {"ChangeDirectoryFailsQuietlyOrGoesOnInTheNewListAndQuotesHoldBlanks", {"0.mp3", "1.mp3", "2.mp3"}, 100'000,
     {{400, "1"}, {1000, "cd /my two"}, {2000, "cd \"/my two"}, {3000, "cd \"/m\" 2"}, {4000, "exit"}},
     "0 0.mp3@0, 400 close, 400 1.mp3@0, 2000 close, 2000 x.mp3@0, 3000 close, 3000 1.mp3@0, 3000 close, 3000 2.mp3@0, 4000 finish",
     "Quavelin~ 1~$ Please type to new Directory~$ 失敗しました\nQuavelin~ 1~$ Please type to new Directory~$ \n"
     "Quavelin~ x~$ "},
    // Calls from the desktop's bus: each carried out as its action. Three Nexts queued with two typed
    // words take turns with them, so that a word waits behind one call at most.
    {"TypedWordsAndQueuedCallsTakeTurns", {"a.mp3", "b.mp3", "c.mp3"}, 60'000, {{1000, "time ls"}, {2000, "exit"}},
     "0 a.mp3@0, 1000 close, 1000 b.mp3@0, 1000 close, 1000 c.mp3@0, 1000 close, 1000 a.mp3@0, 2000 finish",
     "\nQuavelin~ b~$ \n0 min 0 sec / 1 min 0 sec\n>" + std::string(29, '.') + "\nQuavelin~ b~$ \n"
     "Quavelin~ c~$ \n0 | a\n1 | b\n2 | c\nQuavelin~ c~$ \nQuavelin~ a~$ ", 1,
     {called(1000, Call::Kind::Next), called(1000, Call::Kind::Next), called(1000, Call::Kind::Next)}},
    // Play after a stop starts the track again, as its number typed would; PlayPause pauses and
    // resumes; Pause pauses only what plays; Previous is before; Quit is exit.
    {"PlayAfterStopStartsTheTrackAgain", {"a.mp3", "b.mp3"}, 60'000, {{20'000, "ls"}},
     "0 a.mp3@0, 1000 close, 3000 close, 3000 a.mp3@0, 4000 pause, 4500 resume, 5000 pause, 6000 resume, "
     "8000 close, 8000 b.mp3@0, 9000 close, 9000 a.mp3@0, 10000 finish", "", 1,
     {called(1000, Call::Kind::Stop), called(2000, Call::Kind::Pause), called(3000, Call::Kind::PlayPause),
      called(4000, Call::Kind::PlayPause), called(4500, Call::Kind::Play), called(5000, Call::Kind::Pause),
      called(6000, Call::Kind::Play), called(7000, Call::Kind::Play), called(8000, Call::Kind::Next),
      called(9000, Call::Kind::Previous), called(10'000, Call::Kind::Quit)}},
    // Any 64-bit position a client sends: a seek lands before the start (the track from its start),
    // past the end (the next track) or in between; a position outside the track, or for another
    // one, is ignored.
    {"PositionsFromTheBusAreCheckedBeforeAnySum", {"a.mp3", "b.mp3"}, 200'000, {{30'000, "exit"}},
     "0 a.mp3@0, 10000 close, 10000 a.mp3@20000, 11000 close, 11000 a.mp3@11000, 12000 close, 12000 a.mp3@0, "
     "13000 close, 13000 a.mp3@0, 19000 close, 19000 a.mp3@5000, 20000 close, 20000 b.mp3@0, 30000 finish", "", 1,
     {seek(10'000, 10'000'000), seek(11'000, -10'000'000), seek(12'000, kLeast), seek(13'000, -5'000'000),
      setPosition(14'000, 0, -1), setPosition(15'000, 0, 200'001'000), setPosition(16'000, 1, 5'000'000),
      setPosition(17'000, 0, kMost), setPosition(18'000, 0, kLeast), setPosition(19'000, 0, 5'000'000),
      seek(20'000, kMost)}},
    // Where the device tells when its sound ends, the track ends then (a sound that started late),
    // and each joined track's clock starts with its sound; but a second late at most.
    {"ATrackEndsWithItsSound", {"a.mp3", "b.mp3"}, 3000, {{9000, "exit"}},
     "0 a.mp3@0, 1400 queue b.mp3, 3300 advance, 4300 queue a.mp3, 6300 advance, 7300 queue b.mp3, 9000 finish", "", 1, {}, 300},
    {"ASoundFarBehindTheClockHoldsTheTrackASecondAtMost", {"a.mp3", "b.mp3"}, 3000, {{9000, "exit"}},
     "0 a.mp3@0, 2000 queue b.mp3, 4000 advance, 6000 queue a.mp3, 8000 advance, 9000 finish", "", 1, {}, 5000},
    // A length the device is still making exact is asked for again at every check: time shows it as
    // it is known, and the track ends at its true end, not at the estimate's.
    {"AnEstimatedLengthIsAskedForAgainUntilItIsExact", {"a.mp3", "b.mp3"}, 5000, {{100, "time"}, {1000, "time"}, {7000, "exit"}},
     "0 a.mp3@0, 3000 queue b.mp3, 5000 advance, 7000 finish", "\n0 min 0 sec / 0 min 3 sec\n", 1, {}, std::nullopt, std::pair{3000u, 300}},
};
// clang-format on

std::string deviceCalls() {
    std::string log;
    for (const fake::DeviceCall& call : fake::deviceCalls()) {
        if (call.what == "open" || call.what == "length") continue;
        log += (log.empty() ? "" : ", ") + std::to_string(call.atMs) + " ";
        log += call.what == "play"    ? call.name + "@" + std::to_string(call.fromMs)
               : call.what == "queue" ? "queue " + call.name
                                      : call.what;
    }
    return log;
}

TEST(PlayerScenarios, DeviceCallsAndOutputAsTyped) {
    for (const Scenario& s : kScenarios) {
        SCOPED_TRACE(s.name);
        fake::reset();
        fake::setRandom({5, 4});
        addTracks("/my two", {"x.mp3", "y.mp3"}, s.lengthMs);
        addTracks("/m", s.tracks, s.lengthMs);
        fake::typeAt(0, "/m\n");
        if (s.soundLagMs) fake::setSoundLagMs(*s.soundLagMs);
        if (s.estimate) fake::setEstimate(s.estimate->first, s.estimate->second);
        for (const auto& [atMs, text, lineEnd] : s.typed) fake::typeAt(atMs, lineEnd ? text + "\n" : text);
        for (const auto& [atMs, call] : s.called) fake::callAt(atMs, call);
        EXPECT_EQ(::runPlayer(), s.status);
        EXPECT_EQ(deviceCalls(), s.calls);
        EXPECT_NE(fake::output().find(s.shown), std::string::npos) << fake::output();
    }
}

}  // namespace

// The bus sets the output's own volume where it has one, and shows what it is, also when a mixer
// changes it; where it has none the call does nothing, and the bus is shown none.
TEST(PlayerScenarios, TheBusSetsAndShowsTheOutputsOwnVolumeOnly) {
    for (double own : {-1.0, 0.75}) {
        fake::reset();
        addTracks("/m", {"a.mp3"}, 60'000);
        fake::typeAt(0, "/m\n");
        fake::typeAt(5000, "exit\n");
        if (own >= 0) fake::setOutputVolume(own), fake::setOutputVolume(0.5, 2900);
        fake::callAt(1000, Call{.kind = Call::Kind::SetVolume, .volume = 0.25});
        EXPECT_EQ(::runPlayer(), 1);
        std::string set;
        for (const fake::DeviceCall& call : fake::deviceCalls())
            if (call.what == "volume") set += std::to_string(call.atMs) + " " + std::to_string(call.volume);
        EXPECT_EQ(set, own < 0 ? "" : "1000 0.250000");
        EXPECT_EQ(fake::shown().front().volume, own);
        EXPECT_EQ(fake::shown().back().volume, own < 0 ? own : 0.5);
        EXPECT_EQ(fake::shown().back().atMs, own < 0 ? 1000 : 3000);
    }
}
