// The player at work between commands: a track played to its end beside mpg123, start-up, a large
// directory listed, the work between two tracks, and a track's tags on the desktop's bus.
#include <cstdio>
#include <fstream>
#include <thread>

#include "bench/bench.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

// CPU time of a process's first thread (the player's loop), in ms, from the scheduler's accounting.
double mainThreadMs(pid_t pid) {
    double ns = 0;
    std::ifstream("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat") >> ns;
    return ns / 1e6;
}

struct Played {
    double cpuSeconds, peakMb;
    double mainMs = 0, otherMs = 0;  // the first thread while the track plays; the others, all along
};

// One program playing a track to its end; the player, given its directory, from its first prompt
// on, then ended by the end of its input.
Played playToEnd(const Setup& setup, const std::vector<std::string>& argv) {
    Child child(argv, setup.media);
    bool isPlayer = argv[0] == QUAVELIN_BINARY;
    Clock::time_point started = isPlayer ? child.expect(e2e::prompt("music")) : Clock::now();
    Played played{0, 0, -mainThreadMs(child.pid())};
    std::this_thread::sleep_until(started + std::chrono::duration<double>(setup.seconds + 0.5));
    double mainMs = mainThreadMs(child.pid());
    played.mainMs += mainMs;
    int status = 0;
    std::tie(played.cpuSeconds, played.peakMb, status) = child.finish(seconds(30));
    played.otherMs = played.cpuSeconds * 1000 - mainMs;
    if (status != (isPlayer ? 1 : 0)) fail(argv[0] + " failed: " + child.errors());
    return played;
}

// Started, to the first prompt; a directory typed there, to the prompt after its listing; peak memory.
void list(const Setup& setup, const std::string& dir, Tries& startup, Tries& listed,
          std::vector<double>& peakMb) {
    for (int k = 0; k < 15; ++k) {
        Clock::time_point started = Clock::now();
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=dummy"});
        startup.add(started, player.expect(e2e::kDirPrompt));
        Clock::time_point typed = player.type(dir + "\n");
        listed.add(typed, player.expect(e2e::prompt("track 000000")));
        player.type("exit\n");
        peakMb.push_back(std::get<1>(player.finish()));
    }
}

// While silent a plays, 1 typed to b's prompt (close, open, play, length between); back to a untimed.
// With a follower (playerctl --follow of the titles), from b's prompt to b's title there instead.
Tries change(const Setup& setup, const std::vector<std::string>& argv, Child* follower = nullptr,
             double* peakMb = nullptr) {
    Child player(argv, setup.media, {"SDL_AUDIODRIVER=dummy"});
    player.expect(e2e::prompt("a"));
    Tries tries;
    for (int k = 0; k < 40; ++k) {
        std::this_thread::sleep_for(milliseconds(100));
        std::size_t from = player.output().size(), seen = follower ? follower->output().size() : 0;
        Clock::time_point typed = player.type(k % 2 == 0 ? "1\n" : "0\n");
        Clock::time_point shown = player.expect(e2e::prompt(k % 2 == 0 ? "b" : "a"), from);
        if (k % 2 == 0)
            tries.add(follower ? shown : typed,
                      follower ? follower->waitFor("Tagged b\n", shown + seconds(5), seen) : shown);
    }
    if (peakMb != nullptr) *peakMb = std::get<1>(player.finish());
    return tries;
}

}  // namespace

void playbackRows(const Setup& setup, Table& table) {
    // Each repetition plays every track at once in every player, all to the one sink.
    std::fprintf(stderr, "bench: tracks played to their end, %d times\n", setup.reps);
    const std::vector<std::vector<std::string>> players = {
        {QUAVELIN_BINARY, "play"},
        {"mpg123", "-q", "-o", "pulse", "play/music.mp3"},
        {QUAVELIN_BINARY, "play48"},
        {"mpg123", "-q", "-o", "pulse", "play48/music.mp3"}};
    std::vector<std::vector<Played>> runs(players.size());
    for (int rep = 0; rep < setup.reps; ++rep) {
        std::vector<std::jthread> threads;
        for (std::size_t k = 0; k < players.size(); ++k)
            threads.emplace_back([&, k] { runs[k].push_back(playToEnd(setup, players[k])); });
    }
    auto figure = [&](std::size_t k, double Played::*field) {
        std::vector<double> values;
        for (const Played& run : runs[k]) values.push_back(run.*field);
        return median(values);
    };
    auto compare = [&](const std::string& measure, std::size_t ours, double Played::*field, int decimals,
                       double target) {
        double a = figure(ours, field), b = figure(ours + 1, field);
        table.push_back({measure, fixed(a, decimals), "mpg123 " + fixed(b, decimals), fixed(a / b, 2),
                         "<= " + fixed(target, 1), verdict(a <= b * target)});
    };
    std::string length = fixed(setup.seconds, 0) + " s";
    compare("CPU s, " + length + " MP3, player", 0, &Played::cpuSeconds, 3, 0.5);
    compare("peak RSS MB, MP3, player", 0, &Played::peakMb, 1, 1.2);
    compare("CPU s, " + length + " MP3 at 48 kHz, player", 2, &Played::cpuSeconds, 3, 0.5);
    table.push_back({"idle: player thread CPU over " + length + " playback, ms",
                     fixed(figure(0, &Played::mainMs), 1),
                     "other threads, whole run " + fixed(figure(0, &Played::otherMs), 0), "", "near 0",
                     verdict(figure(0, &Played::mainMs) < setup.seconds)});

    std::fprintf(stderr, "bench: start-up, listing, track change\n");
    Tries startup, huge, small;
    std::vector<double> hugeMb, smallMb;
    list(setup, "list100000", startup, huge, hugeMb);
    list(setup, "list100", startup, small, smallMb);
    addTimes(table, "start -> first prompt, ms", startup, 10);
    addTimes(table, "scan + list 100000 entries (60000 MP3), ms", huge, 150, 0,
             "100 entries " + fixed(median(small.ms), 1));
    table.push_back({"peak RSS MB, 100000 entries", fixed(median(hugeMb), 1),
                     "100 entries " + fixed(median(smallMb), 1), fixed(median(hugeMb) / median(smallMb), 2),
                     "no growth", verdict(median(hugeMb) <= median(smallMb) * 1.02)});
    double onBus = 0, offBus = 0;  // peak memory: tagged tracks on the bus (the one player), untagged off
    addTimes(table, "track number typed -> its prompt (close + open + play), small MP3, ms",
             change(setup, {QUAVELIN_BINARY, "--no-mpris", "change"}, nullptr, &offBus), 20, 20);
    addTimes(table, "track number typed -> its prompt (close + open + play), 10 MB MP3, ms",
             change(setup, {QUAVELIN_BINARY, "bigchange"}), 20, 20);
    Child follower({"playerctl", "--follow", "metadata", "--format", "{{xesam:title}}"}, ".");
    addTimes(table, "track start -> its tags on the bus (playerctl --follow), ms",
             change(setup, {QUAVELIN_BINARY, "tags"}, &follower, &onBus), 20);
    table.push_back({"peak RSS MB, tagged tracks with covers, on the bus", fixed(onBus, 1),
                     "untagged, --no-mpris " + fixed(offBus, 1), fixed(onBus / offBus, 2), "", ""});
}

}  // namespace bench
