// What is heard where the sound changes: clicks at every command and at commands typed together, on
// PulseAudio at the sink's latency held down to 10 ms and at its own, and on PipeWire; the silence
// at a join of tracks beside mpg123's; and a 48 kHz sine on a 48 kHz sink, as clean as mpg123 plays it.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "bench/monitor.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

// Steps above 1.1 times the sine's own from the first sound on, each click counted once: a -6 dB
// 1 kHz sine steps by at most 16384 * 2 pi * 1000 / rate between samples.
int clicksIn(const std::vector<std::int16_t>& heard, int rate) {
    const double sineStep = 16384 * 2 * std::numbers::pi * 1000 / rate;
    int clicks = 0;
    auto k = std::ranges::find_if(heard, [](std::int16_t x) { return std::abs(x) > 40; });
    for (long last = -1000; k + 1 < heard.end(); ++k) {
        if (std::abs(*(k + 1) - *k) <= 1.1 * sineStep) continue;
        if (k - heard.begin() > last + 441) ++clicks;  // 10 ms on, another click
        last = k - heard.begin();
    }
    return clicks;
}

// The player on the two sine tracks of a server (the environment's, or another's in extra): each try
// types its lines 300 ms apart, 700 ms after the try before; the clicks heard, recorded at the sink's
// own rate (the tracks' first samples, converted twice, would ring past the sine's step). "exit" ends
// a player of its own each try.
int clicks(const Setup& setup, const std::vector<std::string>& lines, int latencyMs, const std::string& sink,
           int rate, const std::vector<std::string>& extra) {
    Monitor monitor(latencyMs, sink, rate, extra);
    std::unique_ptr<Child> player;
    for (int k = 0; k < setup.tries; ++k) {
        if (!player) {
            player = std::make_unique<Child>(std::vector<std::string>{QUAVELIN_BINARY, "sound/sine"},
                                             setup.media, extra);
            player->expect(e2e::prompt("a"));
        }
        std::this_thread::sleep_for(milliseconds(700 + 200 * k / setup.tries));
        for (const std::string& line : lines) {
            player->type(line + "\n");
            std::this_thread::sleep_for(milliseconds(300));
        }
        if (lines.front() == "exit") {
            player->finish();
            player.reset();
        }
    }
    std::this_thread::sleep_for(milliseconds(latencyMs + 500));
    return clicksIn(monitor.samples(), rate);
}

// The longest run of silent samples inside what was heard, where a program played five parts of
// one sine: 1 where the sine crosses zero on a sample, more where a join leaves a gap.
long longestGap(const std::vector<std::string>& argv, const std::string& dir) {
    Monitor monitor;
    Child player(argv, dir);
    std::this_thread::sleep_for(milliseconds(6500));
    player.finish(milliseconds(100));
    std::vector<std::int16_t> heard = monitor.samples();
    auto sound = [](std::int16_t x) { return std::abs(x) > 40; };
    auto from = std::ranges::find_if(heard, sound),
         to = std::find_if(heard.rbegin(), heard.rend(), sound).base();
    long longest = 0;
    for (long run = 0; from < to; ++from) longest = std::max(longest, run = sound(*from) ? 0 : run + 1);
    return longest;
}

// Noise and distortion beside a 1 kHz sine at 48 kHz, in dB below it, over one second played on
// PipeWire's 48 kHz sink: what is left when the best-fitting sine is taken out.
double noiseAndDistortionDb(const std::vector<std::string>& argv, const std::string& dir,
                            const std::vector<std::string>& extra) {
    Monitor monitor(5, "cap", 48000, extra);
    Child player(argv, dir, extra);
    std::this_thread::sleep_for(seconds(4));
    player.finish(milliseconds(100));
    std::vector<std::int16_t> heard = monitor.samples();
    if (heard.size() < 96'000 + 48'000) fail("too little was heard of the 48 kHz sine");
    const double w = 2 * std::numbers::pi * 1000 / 48000;
    double a = 0, b = 0, all = 0;
    for (std::size_t k = 0; k < 48'000; ++k) {
        const double x = heard[48'000 + k] / 32768.0;
        a += 2.0 / 48'000 * x * std::sin(w * double(k)), b += 2.0 / 48'000 * x * std::cos(w * double(k)),
            all += x * x;
    }
    const double sine = 48'000 * (a * a + b * b) / 2;
    return 10 * std::log10((all - sine) / sine);
}

}  // namespace

void soundRows(const Setup& setup, Table& table) {
    std::fprintf(stderr, "bench: clicks, joins, a sine at its own rate\n");
    const std::string pipewire =
        std::getenv("BENCH_PIPEWIRE_SERVER") ? std::getenv("BENCH_PIPEWIRE_SERVER") : "";
    const std::vector<std::string> onPipewire{"PULSE_SERVER=" + pipewire};
    const std::pair<const char*, std::vector<std::string>> kTyped[] = {{"p, then r", {"p", "r"}},
                                                                       {"f", {"f"}},
                                                                       {"d", {"d"}},
                                                                       {"n", {"n"}},
                                                                       {"1, then 0", {"1", "0"}},
                                                                       {"jump 0 5", {"jump 0 5"}},
                                                                       {"stop, then 1", {"stop", "1"}},
                                                                       {"exit", {"exit"}},
                                                                       {"d f d", {"d f d"}},
                                                                       {"f f", {"f f"}},
                                                                       {"n n", {"n n"}},
                                                                       {"f p, then r", {"f p", "r"}}};
    const std::string tries = std::to_string(setup.tries) + " tries";
    for (const auto& [typed, lines] : kTyped) {
        const int held = clicks(setup, lines, 10, "quavelin", 44100, {}),
                  own = clicks(setup, lines, 2000, "quavelin", 44100, {});
        const int onPw = pipewire.empty() ? -1 : clicks(setup, lines, 10, "cap", 48000, onPipewire);
        table.push_back(
            {std::string("clicks, ") + typed + ", " + tries + ": PulseAudio at 10 ms / at its own latency",
             std::to_string(held) + " / " + std::to_string(own),
             "PipeWire " + (onPw < 0 ? std::string("-") : std::to_string(onPw)), "", "0",
             verdict(held == 0 && own == 0 && onPw <= 0)});
    }
    const std::string parts = setup.media + "/sound/joins";
    const long ours = longestGap({QUAVELIN_BINARY, "joins"}, parts.substr(0, parts.rfind('/')));
    const long theirs =
        longestGap({"mpg123", "-q", "-o", "pulse", "1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}, parts);
    table.push_back({"longest silence at the joins of one sine cut in five, samples", std::to_string(ours),
                     "mpg123 " + std::to_string(theirs), "", "<= 1", verdict(ours <= 1)});
    if (pipewire.empty()) return;
    const double ourDb =
        noiseAndDistortionDb({QUAVELIN_BINARY, "sine48"}, setup.media + "/sound", onPipewire);
    const double theirDb = noiseAndDistortionDb({"mpg123", "-q", "-o", "pulse", "a.mp3"},
                                                setup.media + "/sound/sine48", onPipewire);
    table.push_back({"THD+N of a 48 kHz sine on a 48 kHz sink (PipeWire), dB", fixed(ourDb, 1),
                     "mpg123 " + fixed(theirDb, 1), "", "<= mpg123 + 1", verdict(ourDb <= theirDb + 1)});
}

}  // namespace bench
