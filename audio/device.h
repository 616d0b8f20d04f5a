// The one playback device of the process: at most one file open at a time.
#pragma once

#include <cstdint>
#include <string_view>

// Opens trackName when its extension is "mp3" or "MP3" and plays it from fromMs. Returns 1,
// sending nothing, for any other extension; otherwise 0, whatever the device made of it.
int openAndPlay(std::string_view trackName, std::int32_t fromMs);
void closeDevice();
void pauseDevice();
void resumeDevice();
// Length of the open file in milliseconds; 0 when the device can't tell.
std::int64_t trackLengthMs();
// The output's own volume, 0 to 1; negative when it has none (then setting it does nothing).
double outputVolume();
void setOutputVolume(double volume);
