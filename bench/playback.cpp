// The player at work without a command typed: a track played to its end beside mpg123 and the
// device alone, start-up, a large directory listed, and the device's work between two tracks.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "bench/bench.h"
#include "tests/e2e/run_player.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

// CPU time of each thread of a process, in ns, from the scheduler's own accounting.
std::map<std::string, long> cpuByThread(pid_t pid) {
    std::map<std::string, long> ns;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = ::opendir(tasks.c_str())) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                std::ifstream(tasks + "/" + entry->d_name + "/schedstat") >> ns[entry->d_name];
        ::closedir(dir);
    }
    return ns;
}

struct Played {
    Usage usage;
    double mainMs = 0, otherMs = 0;  // the player's own thread (its loop) and the sound library's
};

// The player: a directory typed, then nothing until its track has played; then exit.
Played playWithPlayer(const Setup& setup, const std::string& dir) {
    Child player({QUAVELIN_BINARY}, setup.media);
    player.expect(e2e::kDirPrompt);
    player.type(dir + "\n");
    Clock::time_point started = player.expect(e2e::prompt("music"));
    auto before = cpuByThread(player.pid());
    std::this_thread::sleep_until(started + std::chrono::duration<double>(setup.seconds + 0.5));
    Played played;
    for (const auto& [tid, ns] : cpuByThread(player.pid()))
        (tid == std::to_string(player.pid()) ? played.mainMs : played.otherMs) += (ns - before[tid]) / 1e6;
    player.type("exit\n");
    played.usage = player.finish();
    return played;
}

Played playWith(const Setup& setup, const std::vector<std::string>& argv) {
    Child child(argv, setup.media);
    Played played{child.finish(milliseconds(static_cast<int>(setup.seconds * 1000) + 30'000))};
    if (played.usage.status != 0) fail(argv[0] + " failed: " + child.errors());
    return played;
}

// The moment SDL's disk output (32-bit float samples) first holds a sample above -40 dB (a decoded
// silent MP3 is not all zeros), or nothing by the deadline.
std::optional<Clock::time_point> firstSound(const std::string& path, Clock::time_point deadline) {
    std::array<float, 16384> chunk{};
    int fd = -1;
    for (off_t offset = 0; Clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::microseconds(100))) {
        if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t n = fd < 0 ? 0 : ::pread(fd, chunk.data(), sizeof chunk, offset);
        auto samples = n > 0 ? static_cast<std::ptrdiff_t>(n / sizeof(float)) : 0;
        offset += samples * static_cast<off_t>(sizeof(float));
        if (std::any_of(chunk.begin(), chunk.begin() + samples,
                        [](float x) { return std::abs(x) > 0.01f; })) {
            ::close(fd);
            return Clock::now();
        }
    }
    if (fd >= 0) ::close(fd);
    return std::nullopt;
}

// Empty files, made once and kept, created in an order unlike the sorted one.
void makeDirectory(const std::string& path, int entries, int mp3s) {
    if (fs::exists(path + "/.complete")) return;
    fs::remove_all(path);
    fs::create_directories(path);
    char name[64];
    for (int k = 0; k < entries; ++k) {
        int n = static_cast<int>(static_cast<long>(k) * 7919 % entries);
        std::snprintf(name, sizeof name, n < mp3s ? "/track %06d.mp3" : "/other %06d.txt", n);
        std::ofstream(path + name).flush();
    }
    std::ofstream(path + "/.complete").flush();
}

// The directory typed at the first prompt, to its listing and the first track's prompt.
void scan(const Setup& setup, const std::string& dir, Tries& ms, std::vector<double>& peakMb) {
    for (int k = 0; k < 7; ++k) {
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=dummy"});
        player.expect(e2e::kDirPrompt);
        std::size_t from = player.output().size();
        Clock::time_point typed = player.type(dir + "\n");
        ms.add(typed, player.expect(e2e::prompt("track 000000"), from));
        player.type("exit\n");
        peakMb.push_back(player.finish().peakMb);
    }
}

// close + open + play + length on the device alone while a.mp3 plays: "median longest" in ms.
std::pair<double, double> deviceChange(const Setup& setup, const std::string& dir) {
    Child device({BENCH_DEVICE, "change", "a.mp3", "b.mp3", "20"}, setup.media + "/" + dir,
                 {"SDL_AUDIODRIVER=dummy"});
    double median = 0, longest = 0;
    if (device.finish(seconds(60)).status != 0 || !(std::istringstream(device.output()) >> median >> longest))
        fail("the device driver failed in " + dir + ": " + device.errors());
    return {median, longest};
}

}  // namespace

void playbackRows(const Setup& setup, Table& table) {
    // Each repetition plays every track at once in every player, all to the one sink.
    std::fprintf(stderr, "bench: tracks played to their end, %d times\n", setup.reps);
    constexpr int kPlayers = 7;
    std::array<std::vector<double>, kPlayers> cpu, mb;
    std::vector<double> mainMs, otherMs;
    for (int rep = 0; rep < setup.reps; ++rep) {
        std::array<Played, kPlayers> runs;
        std::array<std::function<Played()>, kPlayers> players = {
            [&] { return playWithPlayer(setup, "play"); },
            [&] {
                return playWith(setup, {"mpg123", "-q", "-o", "pulse", "play/music.mp3"});
            },
            [&] { return playWithPlayer(setup, "play48"); },
            [&] {
                return playWith(setup, {"mpg123", "-q", "-o", "pulse", "play48/music.mp3"});
            },
            [&] {
                return playWith(setup, {BENCH_DEVICE, "play", "play/music.mp3"});
            },
            [&] {
                return playWith(setup, {BENCH_DEVICE, "play", "music.wav"});
            },
            [&] {
                return playWith(setup, {"paplay", "music.wav"});
            },
        };
        {
            std::vector<std::jthread> threads;
            for (int k = 0; k < kPlayers; ++k) threads.emplace_back([&, k] { runs[k] = players[k](); });
        }
        for (int k = 0; k < kPlayers; ++k) {
            cpu[k].push_back(runs[k].usage.cpuSeconds);
            mb[k].push_back(runs[k].usage.peakMb);
        }
        mainMs.push_back(runs[0].mainMs);
        otherMs.push_back(runs[0].otherMs);
    }
    auto compare = [&](const std::string& measure, const std::vector<double>& ours,
                       const std::vector<double>& ref, const std::string& refName, int decimals,
                       double target) {
        double a = median(ours), b = median(ref), ratio = b > 0 ? a / b : 0;
        table.push_back({measure, fixed(a, decimals), refName + " " + fixed(b, decimals), fixed(ratio, 2),
                         "<= " + fixed(target, 1), verdict(ratio <= target)});
    };
    std::string length = fixed(setup.seconds, 0) + " s";
    compare("CPU s, " + length + " MP3, player", cpu[0], cpu[1], "mpg123", 3, 0.5);
    compare("peak RSS MB, MP3, player", mb[0], mb[1], "mpg123", 1, 1.2);
    compare("CPU s, " + length + " MP3 at 48 kHz, player", cpu[2], cpu[3], "mpg123", 3, 0.5);
    compare("CPU s, " + length + " MP3, device alone", cpu[4], cpu[1], "mpg123", 3, 0.5);
    compare("peak RSS MB, MP3, device alone", mb[4], mb[1], "mpg123", 1, 1.2);
    compare("CPU s, " + length + " WAV, device alone", cpu[5], cpu[6], "paplay", 3, 1.0);
    compare("peak RSS MB, WAV, device alone", mb[5], mb[6], "paplay", 1, 1.5);

    std::fprintf(stderr, "bench: start-up, listing, track change\n");
    Tries startup, firstAudio;
    for (int k = 0; k < 30; ++k) {
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=dummy"});
        startup.ms.push_back(Ms(player.expect(e2e::kDirPrompt) - player.started()).count());
    }
    const std::string disk = setup.media + "/disk-output.raw";
    for (int k = 0; k < 10; ++k) {
        fs::remove(disk);
        Child player({QUAVELIN_BINARY}, setup.media, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk});
        player.expect(e2e::kDirPrompt);
        Clock::time_point typed = player.type("tone\n");
        firstAudio.add(typed, firstSound(disk, typed + seconds(10)));
    }
    table.push_back(
        {"start -> first prompt, ms", startup.text(), "", "", "< 10", verdict(startup.within(10))});
    table.push_back({"directory typed -> first audio, ms", firstAudio.text(), "", "", "< 50",
                     verdict(firstAudio.within(50))});

    makeDirectory(setup.media + "/huge", 100'000, 60'000);
    makeDirectory(setup.media + "/small", 100, 60);
    Tries huge, small;
    std::vector<double> hugeMb, smallMb;
    scan(setup, "huge", huge, hugeMb);
    scan(setup, "small", small, smallMb);
    table.push_back({"scan + list 100000 entries (60000 MP3), ms", huge.text(),
                     "100 entries " + fixed(median(small.ms), 1), "", "< 150", verdict(huge.within(150))});
    table.push_back({"peak RSS MB, 100000 entries", fixed(median(hugeMb), 1),
                     "100 entries " + fixed(median(smallMb), 1), fixed(median(hugeMb) / median(smallMb), 2),
                     "no growth", verdict(median(hugeMb) <= median(smallMb) * 1.02)});

    for (const auto& [dir, what] : {std::pair{"change", "small"}, std::pair{"bigchange", "10 MB"}}) {
        auto [middle, longest] = deviceChange(setup, dir);
        table.push_back({std::string("close + open + play, ") + what + " MP3, ms",
                         fixed(middle, 2) + " / " + fixed(longest, 2), "", "", "< 20",
                         verdict(longest < 20)});
    }
    table.push_back({"idle: player thread CPU over " + length + " playback, ms", fixed(median(mainMs), 1),
                     "audio threads " + fixed(median(otherMs), 0), "", "near 0",
                     verdict(median(mainMs) < setup.seconds)});
}

}  // namespace bench
