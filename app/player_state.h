// The state of the playback loop, owned by the entry point for the whole run.
#pragma once

#include <cstdint>

#include "console/command_reader.h"
#include "library/track_list.h"
#include "platform/platform.h"

constexpr std::int32_t ShuffleOff = 0;
constexpr std::int32_t ShuffleOn = 1;
constexpr std::int32_t ShuffleOnSkipPick = 2;   // on, but the next track start makes no pick
constexpr std::int32_t ShuffleOffSkipPick = 3;  // off; the next track start sets ShuffleOff

constexpr int kPollIntervalMs = 200;
constexpr std::int64_t kRestartAfterSeconds = 4;
constexpr std::int64_t kSeekSeconds = 10;

struct PlayerState {
    TrackList filelist{};
    std::int32_t trackCount = 0;
    std::int32_t i = 0;  // current slot; between a command and the next start it may be -2 .. 51
    std::int32_t trackLength = 0;  // seconds
    std::int64_t startTime = 0;    // clock reading that stands for position 0 of the track
    std::int64_t pauseStart = 0;   // clock reading at which the pause began; 0 while not paused
    std::int64_t pausedTotal = 0;  // seconds spent in finished pauses of this track
    std::int32_t playedSeconds = 0;
    std::int32_t shuffleState = ShuffleOff;
    std::int32_t loopOne = 0;
    std::int32_t stopAtEnd = 0;
    std::int32_t readNow = 0;  // 1: the next poll reads a command without waiting for a key
    std::int32_t leaveTrack = 0;
    CommandCode commandCode = CmdNone;
};

// The name of the current track: slot i of the list.
inline char* currentSlot(PlayerState& state) {
    return state.filelist[static_cast<std::size_t>(state.i)].data();
}
