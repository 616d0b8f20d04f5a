// How long a start or a command takes to be answered and heard: each typed (or called on the desktop
// bus) at a timed moment, its effect found at the sink's monitor. The player and mpg123 take turns.
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>

#include "bench/monitor.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

// The tone-changing track: five segments of 147 000 frames (3.33 s), tones 0 to 4, so that 10 s
// is three segments: f lands three tones on, d two (three back), the track itself one on.
constexpr long kRate = 44100, kSegmentFrames = 147'000;

// A wait that moves through the tries, so that they meet every phase of what runs periodically.
void pauseBefore(int k, int tries) { std::this_thread::sleep_for(milliseconds(300 + 400 * k / tries)); }

// The player in the typed commands' media: a directory typed, and its first track heard.
void start(Child& player, Monitor& monitor, const std::string& dir, const std::string& track) {
    player.expect(e2e::kDirPrompt);
    Clock::time_point typed = player.type(dir + "\n");
    player.expect(e2e::prompt(track));
    if (!monitor.waitFor(toneOf(0), typed, typed + seconds(60))) fail("the player is not heard in " + dir);
}

// Waits for the track's own change from one tone to the next: that tone, and when.
std::pair<int, Clock::time_point> awaitChange(Monitor& monitor) {
    Heard tone = kUnclear;
    auto at = monitor.first(Clock::now(), Clock::now() + seconds(10), [&](Heard heard, Heard before) {
        return (tone = heard) == toneOf(before + 1) && before >= 0;
    });
    if (!at) fail("the tone-changing track did not change by itself");
    return {tone, *at};
}

// f and d in turn, typed 1.5 s into a segment: they land 10 s away, inside the segment they aim at.
void seekTries(int tries, Child& player, Monitor& monitor, Tries& forward, Tries& back) {
    for (int k = 0; k < 2 * tries; ++k) {
        auto [current, changed] = awaitChange(monitor);
        std::this_thread::sleep_until(changed + milliseconds(1500));
        Clock::time_point typed = player.type(k % 2 == 0 ? "f\n" : "d\n");
        Heard want = toneOf(current + (k % 2 == 0 ? 3 : 2));
        (k % 2 == 0 ? forward : back)
            .add(typed, monitor.waitFor(want, typed, typed + seconds(15), toneOf(want - 1)));
    }
}

// Pause and resume in turn, timed to silence and to tone 0; then to the other track (tone 3) and back,
// each sent its own way (typed, or a call on the bus) and timed from the moment that send gives.
using Send = std::function<Clock::time_point(const std::string&)>;
void pauseAndNext(int tries, const Send& send, Monitor& monitor, const std::string (&lines)[4],
                  Tries (&times)[3]) {
    for (int k = 0; k < 2 * tries; ++k) {
        pauseBefore(k / 2, tries);
        Clock::time_point typed = send(lines[k % 2]);
        times[k % 2].add(typed,
                         monitor.waitFor(k % 2 == 0 ? kSilence : toneOf(0), typed, typed + seconds(5)));
    }
    for (int k = 0; k < tries; ++k) {
        pauseBefore(k, tries);
        Clock::time_point typed = send(lines[2 + k % 2]);
        times[2].add(typed, monitor.waitFor(toneOf(k % 2 == 0 ? 3 : 0), typed, typed + seconds(5)));
    }
}

// From a program's start to its first sound: the player given the file's directory, mpg123 the file
// (-o pulse); each ended once heard, and a while of silence before the next.
void firstSoundTries(const Setup& setup, Monitor& monitor, const std::string& file, Tries& ours,
                     Tries& theirs) {
    const std::vector<std::string> programs[] = {{QUAVELIN_BINARY, file.substr(0, file.find('/'))},
                                                 {"mpg123", "-q", "-o", "pulse", file}};
    for (int k = 0; k < 2 * setup.tries; ++k) {
        pauseBefore(k / 2, setup.tries);
        Clock::time_point started = Clock::now();
        Child child(programs[k % 2], setup.media + "/latency");
        (k % 2 == 0 ? ours : theirs).add(started, monitor.waitFor(toneOf(0), started, started + seconds(10)));
    }
}

// The 1 GB file: a jump into each tenth of it, to a tone the track itself would reach only seconds later.
void jumpTries(const Setup& setup, Child& player, Monitor& monitor, Tries& jump) {
    const std::string media = setup.media + "/latency";
    long copyFrames = 0;
    std::ifstream(media + "/copy-frames") >> copyFrames;
    auto copies = static_cast<long>(std::filesystem::file_size(media + "/gigabyte/big.mp3") /
                                    std::filesystem::file_size(media + "/cycle-copy.mp3"));
    // The tone at a second of the file, when it lies clear of a segment's edges by 0.3 s.
    auto toneAt = [&](long second) -> std::optional<int> {
        long local = second * kRate % copyFrames, segment = local / kSegmentFrames,
             in = local % kSegmentFrames;
        if (segment >= kTones || in < kRate * 3 / 10 || in > kSegmentFrames - kRate * 3 / 10) return {};
        return static_cast<int>(segment);
    };
    for (int k = 0; k < setup.tries; ++k) {
        long minute = copies * copyFrames / kRate / 60 * (2 * k + 1) / (2 * setup.tries), second = 0;
        for (const std::string& line : {std::string("jump\n"), std::to_string(minute) + "\n"}) {
            std::size_t from = player.output().size();
            player.type(line);
            player.expect(line == "jump\n" ? e2e::kMinutePrompt : e2e::kSecondPrompt, from);
        }
        auto [current, changed] = awaitChange(monitor);
        std::optional<int> tone;
        while (second < 60 &&
               !((tone = toneAt(minute * 60 + second)) && (*tone + kTones - current) % kTones >= 3))
            ++second;
        if (second == 60) fail("no second to jump to in minute " + std::to_string(minute));
        std::this_thread::sleep_until(changed + milliseconds(300));
        Clock::time_point typed = player.type(std::to_string(second) + "\n");
        jump.add(typed, monitor.waitFor(toneOf(*tone), typed, typed + seconds(15), toneOf(*tone - 1)));
    }
}

}  // namespace

void latencyRows(const Setup& setup, Table& table) {
    std::fprintf(stderr, "bench: typed commands\n");
    const std::string media = setup.media + "/latency";
    const int tries = setup.tries;  // a plays tone 0, b tone 3, two minutes each
    Monitor monitor;
    Tries answer, ours[3], theirs[3], remote[3], runs, forward, back, jump, bigForward, bigBack;
    Tries firstOurs[2], firstTheirs[2];
    firstSoundTries(setup, monitor, "small/small.mp3", firstOurs[0], firstTheirs[0]);
    firstSoundTries(setup, monitor, "gigabyte/big.mp3", firstOurs[1], firstTheirs[1]);
    {
        Child player({QUAVELIN_BINARY}, media);
        start(player, monitor, "tones", "a");
        for (int k = 0; k < tries; ++k) {
            pauseBefore(k, tries);
            std::size_t before = player.output().size();
            Clock::time_point typed = player.type("time\n");
            answer.add(typed, player.expect("\n", before));  // the answer's first byte
            player.expect("~$ ", before);
        }
        pauseAndNext(tries, std::bind_front(&Child::type, &player), monitor, {"p\n", "r\n", "n\n", "n\n"},
                     ours);
        // Timed from playerctl's start; its own run (start-up, finding the player, the call) is timed too.
        auto viaBus = [&runs](const std::string& method) {
            Clock::time_point at = Clock::now();
            Child({"playerctl", "-p", "quavelin", method}, ".").finish();  // a failure is a miss
            runs.add(at, Clock::now());
            return at;
        };
        pauseAndNext(tries, viaBus, monitor, {"pause", "play", "next", "next"}, remote);
    }
    {
        Child player({QUAVELIN_BINARY}, media);
        start(player, monitor, "seek", "cycle");
        seekTries(tries, player, monitor, forward, back);
    }
    {
        Child mpg123({"mpg123", "-R", "-o", "pulse"}, media + "/tones");
        Clock::time_point typed = mpg123.type("SILENCE\nLOAD a.mp3\n");  // SILENCE: no report of every frame
        if (!monitor.waitFor(toneOf(0), typed, typed + seconds(10))) fail("mpg123 -R is not heard");
        pauseAndNext(tries, std::bind_front(&Child::type, &mpg123), monitor,
                     {"PAUSE\n", "PAUSE\n", "LOAD b.mp3\n", "LOAD a.mp3\n"}, theirs);
    }
    Child player({QUAVELIN_BINARY}, media);
    start(player, monitor, "gigabyte", "big");
    jumpTries(setup, player, monitor, jump);
    seekTries(tries, player, monitor, bigForward, bigBack);
    for (int k = 0; k < 2; ++k)  // at most 30 ms, and never later than mpg123
        addTimes(table, std::string(k == 0 ? "1 MB" : "1 GB") + " MP3: start -> first sound, ms",
                 firstOurs[k], std::min(30.0, median(firstTheirs[k].ms)), 0,
                 "mpg123 " + text(firstTheirs[k]));
    addTimes(table, "time typed -> first byte of its answer, ms", answer, 10, 20);
    const std::array<std::array<std::string, 4>, 3> effects{
        {{"pause", "pause", "monitor silent", "mpg123 -R PAUSE "},
         {"rel", "play", "sound again", "PAUSE again "},
         {"n", "next", "next track's first sound", "LOAD "}}};
    for (std::size_t k = 0; k < effects.size(); ++k) {
        const auto& [word, call, heard, reference] = effects[k];
        addTimes(table, word + " typed -> " + heard + ", ms", ours[k], 50, 100, reference + text(theirs[k]));
        addTimes(table, "playerctl " + call + " -> " + heard + ", ms (typed + its run + 10)", remote[k],
                 median(ours[k].ms) + median(runs.ms) + 10, 0,
                 "typed " + text(ours[k]) + ", playerctl's run " + text(runs));
    }
    addTimes(table, "f typed -> the sound 10 s on, ms", forward, 50, 100);
    addTimes(table, "d typed -> the sound 10 s back, ms", back, 50, 100);
    addTimes(table, "1 GB MP3: jump typed -> the sound there, ms", jump, 50);
    addTimes(table, "1 GB MP3: f typed -> the sound where it lands, ms", bigForward, 50);
    addTimes(table, "1 GB MP3: d typed -> the sound where it lands, ms", bigBack, 50);
}

}  // namespace bench
