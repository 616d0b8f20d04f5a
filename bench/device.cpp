// The playback device alone, without the player around it: `bench_device FILE` plays FILE from
// its start to its end as the player would, and nothing else.
#include <chrono>
#include <thread>

#include "audio/device.h"

int main(int argc, char** argv) {
    if (argc != 2 || openAndPlay(argv[1], 0) != 0 || trackLengthSeconds() == 0) return 2;
    // The player's own rule: the length in whole seconds plus one.
    std::this_thread::sleep_for(std::chrono::seconds(trackLengthSeconds() + 1));
    closeDevice();
    return 0;
}
