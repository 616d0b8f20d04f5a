// Runs the player and mpg123 on the media that bench/run made, every sound to the private server's
// null sink, and prints the figures beside their targets: quavelin_bench MEDIA REPS SECONDS TRIES
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/bench.h"

int main(int argc, char** argv) {
    using namespace bench;
    if (argc != 5) fail("usage: quavelin_bench MEDIA REPS SECONDS TRIES");
    Setup setup{argv[1], std::max(1, std::atoi(argv[2])), std::atof(argv[3]),
                std::max(1, std::atoi(argv[4]))};
    Table table;
    playbackRows(setup, table);
    latencyRows(setup, table);
    std::printf("| Measure | quavelin | reference | ratio | target | met |\n|---|---|---|---|---|---|\n");
    for (const Row& r : table)
        std::printf("| %s | %s | %s | %s | %s | %s |\n", r.measure.c_str(), r.ours.c_str(),
                    r.reference.c_str(), r.ratio.c_str(), r.target.c_str(), r.met.c_str());
}
