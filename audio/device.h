// The one playback device of the process.
#pragma once

#include <cstdint>

#include "audio/backend.h"
#include "platform/platform.h"

// The open device; 0 while none is open.
extern backend::DeviceId gDeviceId;

// Opens trackName on the device type its extension selects ("mp3"/"MP3" on "MPEGVideo",
// "wav"/"WAV" on "waveaudio") and plays it from fromMs. Returns 1, sending nothing, for any
// other extension; otherwise 0, whatever the device made of it.
int openAndPlay(const char* trackName, platform::WindowHandle notifyWindow, std::int32_t fromMs);
void closeDevice();
void pauseDevice();
void resumeDevice();
// Length of the open file in whole seconds; 0 when the device can't tell.
int trackLengthSeconds();
