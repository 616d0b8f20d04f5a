// How long a typed command takes to be answered and heard: each command typed at a timed moment,
// its effect found at the sink's monitor. The player and mpg123 -R play in turn to the same sink.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "bench/monitor.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

constexpr int kRate = 44100;
// The tone-changing track: five segments of 147 000 frames (3.33 s), tones 0 to 4, so that 10 s
// is three segments: f lands three tones on, d two (three back), the track itself one on.
constexpr long kSegmentFrames = 147'000;

// A moment that moves through the tries, so that they fall at every phase of whatever the
// listener or the player does periodically.
void pauseBefore(int k, int tries) { std::this_thread::sleep_for(milliseconds(300 + 400 * k / tries)); }

// The player in the typed commands' media: a directory typed, and its first track heard.
void start(Child& player, Monitor& monitor, const std::string& dir, const std::string& track) {
    player.expect(e2e::kDirPrompt);
    Clock::time_point typed = player.type(dir + "\n");
    player.expect(e2e::prompt(track));
    if (!monitor.waitFor(toneOf(0), typed, typed + seconds(60))) fail("the player is not heard in " + dir);
}

// Waits until the monitor has carried some tone, then for the track's own change to the next
// one; returns that tone and when it came.
int awaitChange(Monitor& monitor, Clock::time_point& changed) {
    Clock::time_point deadline = Clock::now() + seconds(10);
    Heard current = monitor.latest();
    for (; current.sound != Sound::tone; current = monitor.latest()) {
        if (Clock::now() > deadline) fail("no tone at the monitor");
        std::this_thread::sleep_for(milliseconds(10));
    }
    auto at = monitor.waitFor(toneOf(current.tone + 1), Clock::now(), Clock::now() + seconds(8));
    if (!at) fail("the tone-changing track did not change by itself");
    changed = *at;
    return current.tone + 1;
}

// f and d in turn, typed 1.5 s into a segment: the player counts time played in whole seconds, so
// it lands up to a second either side of 10 s away, still inside the segment it aims at. Where
// opening the file takes so long that the player's clock runs ahead of the sound, any leap counts.
void seekTries(int tries, Child& player, Monitor& monitor, Tries& forward, Tries& back, bool anyLeap) {
    for (int k = 0; k < 2 * tries; ++k) {
        Clock::time_point changed;
        int current = awaitChange(monitor, changed);
        std::this_thread::sleep_until(changed + milliseconds(1500));
        Clock::time_point typed = player.type(k % 2 == 0 ? "f\n" : "d\n");
        Heard want = toneOf(current + (k % 2 == 0 ? 3 : 2));
        (k % 2 == 0 ? forward : back)
            .add(typed, anyLeap ? monitor.waitForLeap(typed, typed + seconds(15))
                                : monitor.waitFor(want, typed, typed + seconds(15), toneOf(want.tone - 1)));
    }
}

// Pauses and resumes the first tone in turn, timed to the silence and to the tone again.
void pauseTries(int tries, Child& player, Monitor& monitor, const char* pause, const char* resume,
                Tries& paused, Tries& resumed) {
    for (int k = 0; k < tries; ++k) {
        pauseBefore(k, tries);
        Clock::time_point typed = player.type(pause);
        paused.add(typed, monitor.waitFor(silence(), typed, typed + seconds(5)));
        pauseBefore(k, tries);
        typed = player.type(resume);
        resumed.add(typed, monitor.waitFor(toneOf(0), typed, typed + seconds(5)));
    }
}

// The method's own delay: 100 ms of tone 2 written to pacat (5 ms latency), from the write to its
// onset at the monitor, and from its planned end to the monitor's silence.
void calibrate(int tries, Monitor& monitor, Tries& onsets, Tries& ends) {
    Child pacat({"pacat", "--raw", "--format=s16le", "--rate=44100", "--channels=1", "--latency-msec=5", "-d",
                 "quavelin"},
                ".");
    std::string click(kRate / 10 * 2, '\0');  // 16-bit samples at -6 dB
    for (std::size_t k = 0; k < click.size() / 2; ++k) {
        auto sample =
            static_cast<std::int16_t>(16384 * std::sin(2 * std::numbers::pi * kToneHz[2] * k / kRate));
        click[2 * k] = static_cast<char>(sample & 0xff);
        click[2 * k + 1] = static_cast<char>((sample >> 8) & 0xff);
    }
    // The first sounds after the stream connects come up to a second late while the server sets
    // the stream up: not timed.
    for (int k = 0; k < 3; ++k, std::this_thread::sleep_for(milliseconds(500))) pacat.write(click);
    for (int k = 0; k < tries; ++k) {
        pauseBefore(k, tries);
        Clock::time_point written = Clock::now();
        pacat.write(click);
        auto onset = monitor.waitFor(toneOf(2), written, written + seconds(2));
        onsets.add(written, onset);
        Clock::time_point planned = onset.value_or(written) + milliseconds(100);
        ends.add(planned, monitor.waitFor(silence(), planned - milliseconds(90), planned + seconds(2)));
    }
}

// The name the server lists for the player's stream.
std::string streamName() {
    Child list({"pactl", "list", "sink-inputs"}, ".");
    list.finish();
    const std::string& text = list.output();
    std::size_t at = text.find("media.name = ");
    return at == std::string::npos ? "" : text.substr(at + 13, text.find('\n', at) - at - 13);
}

}  // namespace

void latencyRows(const Setup& setup, Table& table) {
    const std::string media = setup.media + "/latency";
    const int tries = setup.tries;
    Monitor monitor;
    Tries onset, end, answer, pause, resume, next, forward, back, refPause, refResume, refNext;
    std::fprintf(stderr, "bench: typed commands\n");
    calibrate(tries, monitor, onset, end);
    std::string stream;
    {
        // a plays tone 0, b tone 3, two minutes each; n goes from one to the other.
        Child player({QUAVELIN_BINARY}, media);
        start(player, monitor, "tones", "a");
        stream = streamName();
        for (int k = 0; k < tries; ++k) {
            pauseBefore(k, tries);
            std::size_t before = player.output().size();
            Clock::time_point typed = player.type("time\n");
            while (player.output().size() == before && Clock::now() < typed + seconds(5)) player.readSome(1);
            answer.add(typed, player.output().size() > before ? std::optional(Clock::now()) : std::nullopt);
            player.expect("~$ ", before);
        }
        pauseTries(tries, player, monitor, "p\n", "r\n", pause, resume);
        for (int k = 0; k < tries; ++k) {
            pauseBefore(k, tries);
            Clock::time_point typed = player.type("n\n");
            next.add(typed, monitor.waitFor(toneOf(k % 2 == 0 ? 3 : 0), typed, typed + seconds(5)));
        }
    }
    {
        Child player({QUAVELIN_BINARY}, media);
        start(player, monitor, "seek", "cycle");
        seekTries(tries, player, monitor, forward, back, false);
    }
    {
        Child mpg123({"mpg123", "-R", "-o", "pulse"}, media + "/tones");
        // Without SILENCE it reports every frame.
        Clock::time_point typed = mpg123.type("SILENCE\nLOAD a.mp3\n");
        if (!monitor.waitFor(toneOf(0), typed, typed + seconds(10))) fail("mpg123 -R is not heard");
        pauseTries(tries, mpg123, monitor, "PAUSE\n", "PAUSE\n", refPause, refResume);
        for (int k = 0; k < tries; ++k) {
            pauseBefore(k, tries);
            typed = mpg123.type(k % 2 == 0 ? "LOAD b.mp3\n" : "LOAD a.mp3\n");
            refNext.add(typed, monitor.waitFor(toneOf(k % 2 == 0 ? 3 : 0), typed, typed + seconds(5)));
        }
    }

    // The 1 GB file, copies of the tone-changing track: jump into each tenth of it to a second whose
    // tone the track does not reach by itself for several seconds, then f and d there.
    Tries jump, bigForward, bigBack;
    Child player({QUAVELIN_BINARY}, media);
    start(player, monitor, "gigabyte", "big");
    long copyFrames = 0;
    std::ifstream(media + "/copy-frames") >> copyFrames;
    long copies = static_cast<long>(std::filesystem::file_size(media + "/gigabyte/big.mp3") /
                                    std::filesystem::file_size(media + "/cycle-copy.mp3"));
    long minutes = copies * copyFrames / kRate / 60;
    // The tone at a second of the file, when it lies clear of a segment's edges by 0.3 s.
    auto toneAt = [&](long second) -> std::optional<int> {
        long local = second * kRate % copyFrames, segment = local / kSegmentFrames,
             into = local % kSegmentFrames;
        if (segment >= kTones || into < kRate * 3 / 10 || into > kSegmentFrames - kRate * 3 / 10) return {};
        return static_cast<int>(segment);
    };
    for (int k = 0; k < tries; ++k) {
        long minute = minutes * (2L * k + 1) / (2L * tries), second = 0;
        std::size_t before = player.output().size();
        player.type("jump\n");
        player.expect(e2e::kMinutePrompt, before);
        before = player.output().size();
        player.type(std::to_string(minute) + "\n");
        player.expect(e2e::kSecondPrompt, before);
        Clock::time_point changed;
        int current = awaitChange(monitor, changed) % kTones;
        std::optional<int> tone;
        for (; second < 60; ++second)
            if ((tone = toneAt(minute * 60 + second)) && (*tone + kTones - current) % kTones >= 3) break;
        if (second == 60) fail("no second to jump to in minute " + std::to_string(minute));
        std::this_thread::sleep_until(changed + milliseconds(300));
        Clock::time_point typed = player.type(std::to_string(second) + "\n");
        jump.add(typed, monitor.waitFor(toneOf(*tone), typed, typed + seconds(15), toneOf(*tone - 1)));
    }
    seekTries(tries, player, monitor, bigForward, bigBack, true);

    const std::string heard = "<= 50 / <= 100";
    auto add = [&](const std::string& measure, const Tries& t, const std::string& reference, bool met,
                   const std::string& target) {
        table.push_back({measure, t.text(), reference, "", target, verdict(met)});
    };
    table.push_back({"method: pacat (5 ms) write -> onset at the monitor, ms", onset.text(), "", "",
                     "its own error", ""});
    table.push_back(
        {"method: end of a 100 ms tone -> silence heard, ms", end.text(), "", "", "its own error", ""});
    add("time typed -> first byte of its answer, ms", answer, "", answer.within(10, 20), "<= 10 / <= 20");
    add("pause typed -> monitor silent, ms", pause, "mpg123 -R PAUSE " + refPause.text(),
        pause.within(50, 100), heard);
    add("rel typed -> sound again, ms", resume, "PAUSE again " + refResume.text(), resume.within(50, 100),
        heard);
    add("n typed -> next track's first sound, ms", next, "LOAD " + refNext.text(), next.within(50, 100),
        heard);
    add("f typed -> the sound 10 s on, ms", forward, "", forward.within(50, 100), heard);
    add("d typed -> the sound 10 s back, ms", back, "", back.within(50, 100), heard);
    add("1 GB MP3: jump typed -> the sound there, ms", jump, "", jump.within(50), "<= 50 median");
    add("1 GB MP3: f typed -> the sound where it lands, ms", bigForward, "", bigForward.within(50),
        "<= 50 median");
    add("1 GB MP3: d typed -> the sound where it lands, ms", bigBack, "", bigBack.within(50), "<= 50 median");
    table.push_back({"the player's output stream (media.name)", stream, "", "", "", ""});
}

}  // namespace bench
