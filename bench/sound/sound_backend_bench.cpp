// Drives the playback device the way the player does, for bench/sound-backend.
//   sound_backend_bench play FILE          plays FILE from the start to its end, then exits
//   sound_backend_bench idle               exits at once: the memory of the loaded libraries alone
//   sound_backend_bench change A B COUNT   COUNT times, with A playing: closes it, opens and starts B
//                                          and asks its length (what the player does between two
//                                          tracks); prints the median and the longest time in ms
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "audio/device.h"

namespace {

using Clock = std::chrono::steady_clock;

int play(const char* file) {
    if (openAndPlay(file, 0) != 0 || trackLengthSeconds() == 0) return 2;
    // The player's own rule: the length in whole seconds plus one.
    std::this_thread::sleep_for(std::chrono::seconds(trackLengthSeconds() + 1));
    closeDevice();
    return 0;
}

int change(const char* a, const char* b, int count) {
    openAndPlay(a, 0);  // the first play opens the sound output for the process
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<double> times;
    for (int k = 0; k < count; ++k) {
        auto start = Clock::now();
        closeDevice();
        openAndPlay(b, 0);
        trackLengthSeconds();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        closeDevice();
        openAndPlay(a, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::sort(times.begin(), times.end());
    std::printf("%.2f %.2f\n", times[times.size() / 2], times.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "play") == 0) return play(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "idle") == 0) return 0;
    if (argc == 5 && std::strcmp(argv[1], "change") == 0 && std::atoi(argv[4]) > 0)
        return change(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: sound_backend_bench play FILE | idle | change A B COUNT\n");
    return 2;
}
