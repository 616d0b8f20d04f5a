#include "bench/player/latency.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <thread>

namespace bench {
namespace {

using Ms = std::chrono::duration<double, std::milli>;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kRate = 44100;
// The tone-changing track: five segments of 147 000 frames (3.33 s), tones 0 to 4, so that 10 s
// is three segments: f lands three tones on, d two (three back), the track itself one on.
constexpr long kSegmentFrames = 147'000;
constexpr int kSegments = 5;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "quavelin_bench: %s\n", what.c_str());
    std::exit(1);
}

void record(Tries& tries, Clock::time_point typed, std::optional<Clock::time_point> heard) {
    if (heard)
        tries.ms.push_back(Ms(*heard - typed).count());
    else
        ++tries.missed;
}

// A moment that moves through the tries, so that they fall at every phase of whatever the
// listener or the player does periodically.
milliseconds spread(int k, int tries) { return milliseconds(300 + 400 * k / tries); }

// The player, or mpg123 -R, playing to the private server, its output drained as it comes.
class Session {
public:
    Session(const std::vector<std::string>& argv, const std::string& dir, const LatencySetup& setup)
        : child_(argv, dir, playerEnvironment({"LC_ALL=C", "PULSE_SERVER=" + setup.pulse})) {}
    ~Session() { child_.finish(seconds(10)); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Clock::time_point type(const std::string& line) {
        child_.readSome(0);
        Clock::time_point at = Clock::now();
        if (!child_.write(line)) fail("the player ended: " + child_.errors());
        return at;
    }
    void waitFor(const std::string& text, std::size_t from = 0) {
        if (!child_.waitFor(text, Clock::now() + seconds(60), from))
            fail("no \"" + text + "\" in: " + child_.output() + child_.errors());
    }
    // The moment the first byte of output after `from` was read.
    std::optional<Clock::time_point> firstByteAfter(std::size_t from) {
        Clock::time_point deadline = Clock::now() + seconds(5);
        while (child_.output().size() <= from && Clock::now() < deadline) child_.readSome(1);
        if (child_.output().size() <= from) return std::nullopt;
        return Clock::now();
    }
    std::size_t outputSize() const { return child_.output().size(); }

private:
    Child child_;
};

const std::string kPrompt = "~$ ";

// Waits until the monitor has carried some tone, then for the track's own change to the next
// one; returns that tone.
int awaitChange(const LatencySetup& setup, Clock::time_point& changed) {
    Monitor& monitor = *setup.monitor;
    Clock::time_point deadline = Clock::now() + seconds(10);
    Heard current = monitor.latest();
    for (; current.sound != Sound::tone; current = monitor.latest()) {
        if (Clock::now() > deadline) fail("no tone at the monitor");
        std::this_thread::sleep_for(milliseconds(10));
    }
    Heard next = toneOf(current.tone + 1);
    auto at = monitor.waitFor(next, Clock::now(), Clock::now() + seconds(8));
    if (!at) fail("the tone-changing track did not change by itself");
    changed = *at;
    return next.tone;
}

void sleepFor(milliseconds ms) { std::this_thread::sleep_for(ms); }

// Where f and d are heard: three tones on or two on (three back), or, when opening the file
// takes so long that the player's clock runs ahead of the sound, wherever they landed.
enum class Landing { exact, anywhere };

// f and d in turn, typed 1.5 s into a segment: the player counts time played in whole seconds, so
// it lands up to a second either side of 10 s away, still inside the segment it aims at.
void seekTries(const LatencySetup& setup, Session& player, Tries& forward, Tries& back, Landing landing) {
    for (int k = 0; k < 2 * setup.tries; ++k) {
        bool isForward = k % 2 == 0;
        Clock::time_point changed;
        int current = awaitChange(setup, changed);
        std::this_thread::sleep_until(changed + milliseconds(1500));
        Clock::time_point typed = player.type(isForward ? "f\n" : "d\n");
        Heard want = toneOf(current + (isForward ? 3 : 2));
        Clock::time_point deadline = typed + seconds(15);
        record(isForward ? forward : back, typed,
               landing == Landing::exact
                   ? setup.monitor->waitFor(want, typed, deadline, toneOf(want.tone - 1))
                   : setup.monitor->waitForLeap(typed, deadline));
    }
}

// Pauses and resumes the first tone in turn, timed to the silence and to the tone again.
void pauseTries(const LatencySetup& setup, Session& session, const char* pause, const char* resume,
                Tries& paused, Tries& resumed) {
    for (int k = 0; k < setup.tries; ++k) {
        sleepFor(spread(k, setup.tries));
        Clock::time_point typed = session.type(pause);
        record(paused, typed, setup.monitor->waitFor(silence(), typed, typed + seconds(5)));
        sleepFor(spread(k, setup.tries));
        typed = session.type(resume);
        record(resumed, typed, setup.monitor->waitFor(toneOf(0), typed, typed + seconds(5)));
    }
}

}  // namespace

std::vector<std::string> playerEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> env = currentEnvironment();
    std::erase_if(env, [](const std::string& e) { return e.starts_with("SDL_AUDIODRIVER="); });
    return environmentWith(env, extra);
}

Calibration calibrate(const LatencySetup& setup) {
    Child pacat({"pacat", "--raw", "--format=s16le", "--rate=44100", "--channels=1", "--latency-msec=5", "-d",
                 setup.sink},
                ".", playerEnvironment({"PULSE_SERVER=" + setup.pulse}));
    constexpr std::size_t kClickFrames = kRate / 10;
    std::string click(kClickFrames * 2, '\0');  // 100 ms of tone 2 at -6 dB, 16-bit samples
    for (std::size_t k = 0; k < kClickFrames; ++k) {
        auto sample =
            static_cast<std::int16_t>(16384 * std::sin(2 * std::numbers::pi * kToneHz[2] * k / kRate));
        click[2 * k] = static_cast<char>(sample & 0xff);
        click[2 * k + 1] = static_cast<char>((sample >> 8) & 0xff);
    }
    Calibration calibration;
    // The first sounds after the stream connects come up to a second late while the server sets
    // the stream up: not timed.
    for (int k = 0; k < 3; ++k) {
        pacat.write(click);
        sleepFor(milliseconds(500));
    }
    for (int k = 0; k < setup.tries; ++k) {
        sleepFor(spread(k, setup.tries));
        Clock::time_point written = Clock::now();
        pacat.write(click);
        auto onset = setup.monitor->waitFor(toneOf(2), written, written + seconds(2));
        record(calibration.onset, written, onset);
        Clock::time_point planned = (onset ? *onset : written) + milliseconds(100);
        auto end = setup.monitor->waitFor(silence(), planned - milliseconds(90), planned + seconds(2));
        record(calibration.end, planned, end);
    }
    pacat.finish(seconds(5));
    return calibration;
}

PlayerLatency playerLatency(const LatencySetup& setup) {
    PlayerLatency result;
    Monitor& monitor = *setup.monitor;
    {
        // a plays tone 0, b tone 3, two minutes each; n goes from one to the other.
        Session player({QUAVELIN_BINARY}, setup.media + "/latency", setup);
        player.waitFor("Directory~$ ");
        Clock::time_point typed = player.type("tones\n");
        player.waitFor("Quavelin~ a~$ ");
        if (!monitor.waitFor(toneOf(0), typed, typed + seconds(10)))
            fail("the player's first track is not heard");
        Child list({"pactl", "list", "sink-inputs"}, ".", playerEnvironment({"PULSE_SERVER=" + setup.pulse}));
        list.finish(seconds(5));
        std::string text = list.output();
        if (auto at = text.find("media.name = "); at != std::string::npos)
            result.stream = text.substr(at + 13, text.find('\n', at) - at - 13);

        for (int k = 0; k < setup.tries; ++k) {
            sleepFor(spread(k, setup.tries));
            std::size_t before = player.outputSize();
            typed = player.type("time\n");
            record(result.answer, typed, player.firstByteAfter(before));
            player.waitFor(kPrompt, before);
        }
        pauseTries(setup, player, "p\n", "r\n", result.pause, result.resume);
        for (int k = 0; k < setup.tries; ++k) {
            sleepFor(spread(k, setup.tries));
            typed = player.type("n\n");
            record(result.next, typed,
                   monitor.waitFor(toneOf(k % 2 == 0 ? 3 : 0), typed, typed + seconds(5)));
        }
    }
    Session player({QUAVELIN_BINARY}, setup.media + "/latency", setup);
    player.waitFor("Directory~$ ");
    Clock::time_point typed = player.type("seek\n");
    player.waitFor("Quavelin~ cycle~$ ");
    if (!monitor.waitFor(toneOf(0), typed, typed + seconds(10))) fail("the tone-changing track is not heard");
    seekTries(setup, player, result.forward, result.back, Landing::exact);
    return result;
}

ReferenceLatency referenceLatency(const LatencySetup& setup) {
    ReferenceLatency result;
    Monitor& monitor = *setup.monitor;
    Session mpg123({"mpg123", "-R", "-o", "pulse"}, setup.media + "/latency/tones", setup);
    // Without SILENCE it reports every frame.
    Clock::time_point typed = mpg123.type("SILENCE\nLOAD a.mp3\n");
    if (!monitor.waitFor(toneOf(0), typed, typed + seconds(10))) fail("mpg123 -R is not heard");
    pauseTries(setup, mpg123, "PAUSE\n", "PAUSE\n", result.pause, result.resume);
    for (int k = 0; k < setup.tries; ++k) {
        sleepFor(spread(k, setup.tries));
        bool toB = k % 2 == 0;
        typed = mpg123.type(toB ? "LOAD b.mp3\n" : "LOAD a.mp3\n");
        record(result.next, typed, monitor.waitFor(toneOf(toB ? 3 : 0), typed, typed + seconds(5)));
    }
    mpg123.type("QUIT\n");
    return result;
}

BigFileLatency bigFileLatency(const LatencySetup& setup, long copyFrames) {
    BigFileLatency result;
    Session player({QUAVELIN_BINARY}, setup.media + "/latency", setup);
    player.waitFor("Directory~$ ");
    Clock::time_point typed = player.type("gigabyte\n");
    player.waitFor("Quavelin~ big~$ ");
    if (!setup.monitor->waitFor(toneOf(0), typed, typed + seconds(60))) fail("the 1 GB track is not heard");
    std::size_t bytes = std::filesystem::file_size(setup.media + "/latency/gigabyte/big.mp3");
    // Its length, from the copies it is made of (about 40 kB a second at 320 kbit/s).
    long copyBytes = static_cast<long>(std::filesystem::file_size(setup.media + "/latency/cycle-copy.mp3"));
    long copies = static_cast<long>(bytes) / copyBytes;
    long minutes = copies * copyFrames / kRate / 60;
    // The tone at a second of the file, when it lies clear of a segment's edges by 0.3 s.
    auto toneAt = [&](long second) -> std::optional<int> {
        long local = second * kRate % copyFrames;
        long segment = local / kSegmentFrames, into = local % kSegmentFrames;
        if (segment >= kSegments || into < kRate * 3 / 10 || into > kSegmentFrames - kRate * 3 / 10)
            return std::nullopt;
        return static_cast<int>(segment);
    };
    for (int k = 0; k < setup.tries; ++k) {
        long minute = minutes * (2L * k + 1) / (2L * setup.tries);
        std::size_t before = player.outputSize();
        player.type("jump\n");
        player.waitFor("分単位 ~$ ", before);
        before = player.outputSize();
        player.type(std::to_string(minute) + "\n");
        player.waitFor("秒単位 ~$ ", before);
        Clock::time_point changed;
        int current = awaitChange(setup, changed);
        // A tone the track itself does not reach before several seconds.
        long second = 0;
        std::optional<int> tone;
        for (; second < 60; ++second) {
            tone = toneAt(minute * 60 + second);
            if (tone && (*tone == (current + 3) % kTones || *tone == (current + 4) % kTones)) break;
        }
        if (second == 60) fail("no second to jump to in minute " + std::to_string(minute));
        std::this_thread::sleep_until(changed + milliseconds(300));
        typed = player.type(std::to_string(second) + "\n");
        record(result.jump, typed,
               setup.monitor->waitFor(toneOf(*tone), typed, typed + seconds(15), toneOf(*tone - 1)));
    }
    seekTries(setup, player, result.forward, result.back, Landing::anywhere);
    return result;
}

}  // namespace bench
