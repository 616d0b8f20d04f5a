// What sits under the playback device: the sound service of the platform. The Windows build links
// the MCI backend, POSIX builds the SDL2 + libmpg123 + libsndfile one, the unit tests a recorder.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace backend {

using DeviceId = std::uint32_t;  // 0 names no device

// Opens the file elementName (relative to the current directory) on deviceType, "MPEGVideo" or
// "waveaudio". Returns a non-zero id, or 0 when it can't be opened.
DeviceId open(const char* deviceType, const char* elementName);

// Starts playing from fromMs milliseconds and returns at once; the play runs to the end of the file.
void play(DeviceId id, std::uint32_t fromMs, platform::WindowHandle notifyWindow);
void pause(DeviceId id);
void resume(DeviceId id);
void close(DeviceId id);  // harmless for 0 or an id that is not open

// The length of the open file in milliseconds; false when it is not known (nothing open).
bool lengthMs(DeviceId id, std::uint32_t& milliseconds);

}  // namespace backend
