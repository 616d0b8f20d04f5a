// The choice of the next track, over every mode, request and position, against the slots the
// player chose before the choice was gathered into one function (recorded from whole-player runs
// on the fake platform: 3 tracks, and 50 for the end of the slots; shuffle's random number is 7).
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "app/next_track.h"

namespace {

struct Row {
    bool loop, shuffle, alloop;
    // At each position of kPositions, for each request of kRequests: the slot, E (past the 50
    // slots) or X (the end in alloop).
    std::array<const char*, 5> outcomes;
};

struct Position {
    int count, playing;
};
const Position kPositions[] = {{3, 0}, {3, 1}, {3, 2}, {50, 48}, {50, 49}};

// clang-format off
const Row kRecorded[] = {
    {0, 0, 0, {"1 1 2 0 1 0 0 E 1", "2 2 0 1 1 0 0 E 2", "0 0 1 2 1 0 0 E 0",
               "49 49 47 48 1 7 49 E 49", "E E 48 49 1 7 49 E E"}},
    {1, 0, 0, {"0 1 0 0 1 0 E E 0", "1 2 0 1 1 0 E E 1", "2 0 1 2 1 0 E E 2",
               "48 E 47 48 1 7 E E 48", "E E 48 E 1 7 E E E"}},
    {0, 1, 0, {"1 1 1 1 1 0 0 E 1", "1 1 1 1 1 0 0 E 1", "1 1 1 1 1 0 0 E 1",
               "7 7 7 7 1 7 49 E 7", "E E 7 7 1 7 49 E E"}},
    {1, 1, 0, {"0 1 0 0 1 0 E E 0", "1 2 0 1 1 0 E E 1", "2 0 1 2 1 0 E E 2",
               "48 E 47 48 1 7 E E 48", "E E 48 E 1 7 E E E"}},
    {0, 0, 1, {"1 1 2 0 1 X X E 1", "2 2 0 1 1 X X E 2", "X X 1 2 1 X X E X",
               "49 49 47 48 1 7 49 E 49", "E E 48 49 1 7 49 E E"}},
    {1, 0, 1, {"0 1 0 0 1 X E E 0", "1 2 0 1 1 X E E 1", "2 X 1 2 1 X E E 2",
               "48 E 47 48 1 7 E E 48", "E E 48 E 1 7 E E E"}},
    {0, 1, 1, {"1 1 1 1 1 X X E 1", "1 1 1 1 1 X X E 1", "1 1 1 1 1 X X E 1",
               "7 7 7 7 1 7 49 E 7", "E E 7 7 1 7 49 E E"}},
    {1, 1, 1, {"0 1 0 0 1 X E E 0", "1 2 0 1 1 X E E 1", "2 X 1 2 1 X E E 2",
               "48 E 47 48 1 7 E E 48", "E E 48 E 1 7 E E E"}},
};
// clang-format on

struct Asked {
    Request request;
    int picked;
};
const Asked kRequests[] = {{Request::None, 0},    {Request::Next, 0},  {Request::Previous, 0},
                           {Request::Restart, 0}, {Request::Pick, 1},  {Request::Pick, 7},
                           {Request::Pick, 49},   {Request::Pick, 50}, {Request::NewDirectory, 0}};

std::string shown(NextTrack next) {
    if (next.kind == NextTrack::Kind::ListEnd) return "E";
    if (next.kind == NextTrack::Kind::Exit) return "X";
    return std::to_string(next.slot);
}

TEST(NextTrack, ChoosesAsRecordedForEveryModeRequestAndPosition) {
    for (const Row& row : kRecorded) {
        for (std::size_t at = 0; at < std::size(kPositions); ++at) {
            const auto [count, playing] = kPositions[at];
            std::istringstream expected(row.outcomes[at]);
            for (const Asked& asked : kRequests) {
                std::string want;
                expected >> want;
                Choice choice{asked.request, playing, asked.picked, count,
                              Modes{row.shuffle, row.loop, row.alloop}};
                EXPECT_EQ(shown(chooseNextTrack(choice, [] { return 7; })), want)
                    << "loop " << row.loop << " shuffle " << row.shuffle << " alloop " << row.alloop << ", "
                    << count << " tracks, slot " << playing << ", request " << static_cast<int>(asked.request)
                    << " " << asked.picked;
            }
        }
    }
}

}  // namespace
