// The playback device driven as the player drives it, without the player around it:
//   bench_device play FILE          plays FILE from the start to its end
//   bench_device change A B COUNT   COUNT times, while A plays: closes it, opens and plays B and asks
//                                   its length (the player's work between two tracks); prints the
//                                   median and the longest time in ms
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "audio/device.h"

namespace {

using std::chrono::milliseconds;

int play(const char* file) {
    if (openAndPlay(file, 0) != 0 || trackLengthSeconds() == 0) return 2;
    // The player's own rule: the length in whole seconds plus one.
    std::this_thread::sleep_for(std::chrono::seconds(trackLengthSeconds() + 1));
    closeDevice();
    return 0;
}

int change(const char* a, const char* b, int count) {
    openAndPlay(a, 0);  // the first play opens the sound output for the process
    std::this_thread::sleep_for(milliseconds(300));
    std::vector<double> ms;
    for (int k = 0; k < count; ++k) {
        auto start = std::chrono::steady_clock::now();
        closeDevice();
        openAndPlay(b, 0);
        trackLengthSeconds();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        std::this_thread::sleep_for(milliseconds(100));
        closeDevice();
        openAndPlay(a, 0);
        std::this_thread::sleep_for(milliseconds(100));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%.2f %.2f\n", ms[ms.size() / 2], ms.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string_view mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "play") return play(argv[2]);
    if (argc == 5 && mode == "change" && std::atoi(argv[4]) > 0)
        return change(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: bench_device play FILE | change A B COUNT\n");
    return 2;
}
