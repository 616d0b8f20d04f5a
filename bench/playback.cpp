// The player at work without a command typed: a track played to its end beside mpg123 and the
// device alone, start-up, a large directory listed, and the work between two tracks.
#include <dirent.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

#include "bench/bench.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

// CPU time of each thread of a process, in ns, from the scheduler's own accounting.
std::map<std::string, long> cpuByThread(pid_t pid) {
    std::map<std::string, long> ns;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    if (DIR* dir = ::opendir(tasks.c_str())) {
        while (dirent* task = ::readdir(dir))
            if (task->d_name[0] != '.')
                std::ifstream(tasks + task->d_name + "/schedstat") >> ns[task->d_name];
        ::closedir(dir);
    }
    return ns;
}

struct Played {
    Usage usage;
    double mainMs = 0, otherMs = 0;  // the program's first thread (the player's loop), and the others
};

// One program playing a track to its end; the player, given its directory, from its first prompt
// on, then ended by the end of its input.
Played playToEnd(const Setup& setup, const std::vector<std::string>& argv) {
    Child child(argv, setup.media);
    bool isPlayer = argv[0] == QUAVELIN_BINARY;
    Clock::time_point started = isPlayer ? child.expect(e2e::prompt("music")) : Clock::now();
    auto before = cpuByThread(child.pid());
    std::this_thread::sleep_until(started + std::chrono::duration<double>(setup.seconds + 0.5));
    Played played;
    for (const auto& [tid, ns] : cpuByThread(child.pid()))
        (tid == std::to_string(child.pid()) ? played.mainMs : played.otherMs) += (ns - before[tid]) / 1e6;
    played.usage = child.finish(seconds(30));
    if (played.usage.status != (isPlayer ? 1 : 0)) fail(argv[0] + " failed: " + child.errors());
    return played;
}

// The moment SDL's disk output (32-bit float samples) first holds a sample above -40 dB (a decoded
// silent MP3 is not all zeros), or nothing by the deadline.
std::optional<Clock::time_point> firstSound(const std::string& path, Clock::time_point deadline) {
    for (long seen = 0; Clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::microseconds(100))) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(seen);
        for (float x; in.read(reinterpret_cast<char*>(&x), sizeof x); seen += sizeof x)
            if (std::abs(x) > 0.01f) return Clock::now();
    }
    return std::nullopt;
}

// A directory typed at the first prompt, to the first track's prompt after its listing.
Tries list(const Setup& setup, const std::string& dir, std::vector<double>& peakMb) {
    Tries tries;
    for (int k = 0; k < 7; ++k) {
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=dummy"});
        player.expect(e2e::kDirPrompt);
        Clock::time_point typed = player.type(dir + "\n");
        tries.add(typed, player.expect(e2e::prompt("track 000000")));
        player.type("exit\n");
        peakMb.push_back(player.finish().peakMb);
    }
    return tries;
}

// A track number typed while the silent track a plays, to the prompt of track b: the player closes
// a, opens b, plays it and asks its length in between.
Tries change(const Setup& setup, const std::string& dir) {
    Child player({QUAVELIN_BINARY, dir}, setup.media, {"SDL_AUDIODRIVER=dummy"});
    player.expect(e2e::prompt("a"));
    Tries tries;
    for (int k = 0; k < 20; ++k) {
        std::this_thread::sleep_for(milliseconds(100));
        std::size_t from = player.output().size();
        Clock::time_point typed = player.type("1\n");
        tries.add(typed, player.expect(e2e::prompt("b"), from));
        std::this_thread::sleep_for(milliseconds(100));
        from = player.output().size();
        player.type("0\n");
        player.expect(e2e::prompt("a"), from);
    }
    return tries;
}

}  // namespace

void playbackRows(const Setup& setup, Table& table) {
    // Each repetition plays every track at once in every player, all to the one sink.
    std::fprintf(stderr, "bench: tracks played to their end, %d times\n", setup.reps);
    const std::vector<std::vector<std::string>> players = {
        {QUAVELIN_BINARY, "play"},        {"mpg123", "-q", "-o", "pulse", "play/music.mp3"},
        {QUAVELIN_BINARY, "play48"},      {"mpg123", "-q", "-o", "pulse", "play48/music.mp3"},
        {BENCH_DEVICE, "play/music.mp3"}, {BENCH_DEVICE, "music.wav"},
        {"paplay", "music.wav"}};
    std::vector<std::vector<double>> cpu(players.size()), mb(players.size());
    std::vector<double> mainMs, otherMs;
    for (int rep = 0; rep < setup.reps; ++rep) {
        std::vector<Played> runs(players.size());
        {
            std::vector<std::jthread> threads;
            for (std::size_t k = 0; k < players.size(); ++k)
                threads.emplace_back([&, k] { runs[k] = playToEnd(setup, players[k]); });
        }
        for (std::size_t k = 0; k < players.size(); ++k) {
            cpu[k].push_back(runs[k].usage.cpuSeconds);
            mb[k].push_back(runs[k].usage.peakMb);
        }
        mainMs.push_back(runs[0].mainMs);
        otherMs.push_back(runs[0].otherMs);
    }
    auto compare = [&](const std::string& measure, std::size_t ours, std::size_t ref,
                       const std::string& refName, bool isCpu, double target) {
        const auto& figures = isCpu ? cpu : mb;
        double a = median(figures[ours]), b = median(figures[ref]), ratio = b > 0 ? a / b : 0;
        table.push_back({measure, fixed(a, isCpu ? 3 : 1), refName + " " + fixed(b, isCpu ? 3 : 1),
                         fixed(ratio, 2), "<= " + fixed(target, 1), verdict(ratio <= target)});
    };
    std::string length = fixed(setup.seconds, 0) + " s";
    compare("CPU s, " + length + " MP3, player", 0, 1, "mpg123", true, 0.5);
    compare("peak RSS MB, MP3, player", 0, 1, "mpg123", false, 1.2);
    compare("CPU s, " + length + " MP3 at 48 kHz, player", 2, 3, "mpg123", true, 0.5);
    compare("CPU s, " + length + " MP3, device alone", 4, 1, "mpg123", true, 0.5);
    compare("peak RSS MB, MP3, device alone", 4, 1, "mpg123", false, 1.2);
    compare("CPU s, " + length + " WAV, device alone", 5, 6, "paplay", true, 1.0);
    compare("peak RSS MB, WAV, device alone", 5, 6, "paplay", false, 1.5);
    table.push_back({"idle: player thread CPU over " + length + " playback, ms", fixed(median(mainMs), 1),
                     "audio threads " + fixed(median(otherMs), 0), "", "near 0",
                     verdict(median(mainMs) < setup.seconds)});

    std::fprintf(stderr, "bench: start-up, listing, track change\n");
    Tries startup, firstAudio;
    for (int k = 0; k < 30; ++k) {
        Clock::time_point started = Clock::now();
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=dummy"});
        startup.add(started, player.expect(e2e::kDirPrompt));
    }
    const std::string disk = setup.media + "/disk-output.raw";
    for (int k = 0; k < 10; ++k) {
        std::remove(disk.c_str());
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk});
        player.expect(e2e::kDirPrompt);
        Clock::time_point typed = player.type("tone\n");
        firstAudio.add(typed, firstSound(disk, typed + seconds(10)));
    }
    addTimes(table, "start -> first prompt, ms", startup, 10);
    addTimes(table, "directory typed -> first audio, ms", firstAudio, 50);
    std::vector<double> hugeMb, smallMb;
    Tries huge = list(setup, "list100000", hugeMb), small = list(setup, "list100", smallMb);
    addTimes(table, "scan + list 100000 entries (60000 MP3), ms", huge, 150, 0,
             "100 entries " + fixed(median(small.ms), 1));
    table.push_back({"peak RSS MB, 100000 entries", fixed(median(hugeMb), 1),
                     "100 entries " + fixed(median(smallMb), 1), fixed(median(hugeMb) / median(smallMb), 2),
                     "no growth", verdict(median(hugeMb) <= median(smallMb) * 1.02)});
    addTimes(table, "track number typed -> its prompt (close + open + play), small MP3, ms",
             change(setup, "change"), 20, 20);
    addTimes(table, "track number typed -> its prompt (close + open + play), 10 MB MP3, ms",
             change(setup, "bigchange"), 20, 20);
}

}  // namespace bench
