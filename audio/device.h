// The one playback device of the process: at most one file open at a time, and one more queued to
// follow it without a gap.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Opens trackName when its extension is "mp3" or "MP3" and plays it from fromMs. Returns 1,
// sending nothing, for any other extension; otherwise 0, whatever the device made of it.
int openAndPlay(std::string_view trackName, std::int32_t fromMs);
void closeDevice();
void pauseDevice();
void resumeDevice();
// The open file's length in milliseconds (0 when the device can't tell), and whether it is still
// an estimate: the device may be making it exact in the background, and is then asked again.
struct TrackLength {
    std::int64_t ms = 0;
    bool estimate = false;
};
TrackLength trackLength();

// Queues trackName to follow the open file with no gap; false when it won't (an extension the
// device does not play, a file it can't open, a device that can't join files).
bool queueTrack(std::string_view trackName);
void withdrawQueuedTrack();
// The queued file, whose sound has begun, is the open one now; false when none was queued.
bool advanceToQueuedTrack();
// In how many milliseconds the open file's sound will have been heard to its end; nothing when
// the device can't tell.
std::optional<std::int64_t> msUntilTrackEnd();
// The run ends: what sounds fades out before the process does.
void finishSound();
// The output's own volume, 0 to 1; negative when it has none (then setting it does nothing).
double outputVolume();
void setOutputVolume(double volume);
