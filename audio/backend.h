// What sits under the playback device: the sound service of the platform. The Windows build links
// the MCI backend, POSIX builds the libmpg123 + libsndfile one (through its module loader), the
// unit tests a recorder. Every call comes from the player's one thread.
#pragma once

#include <cstdint>

namespace backend {

using DeviceId = std::uint32_t;  // 0 names no device

// How a file's sound is stored, as its extension says.
enum class Format : std::uint8_t {
    MpegAudio,  // MPEG audio (MP3)
    Wave,       // RIFF WAVE
};

// Opens fileName (relative to the current directory) as a file of format. Returns a non-zero id,
// or 0 when it can't be opened.
DeviceId open(Format format, const char* fileName);

// Starts playing from fromMs milliseconds and returns at once; the play runs to the end of the file.
void play(DeviceId id, std::uint32_t fromMs);
void pause(DeviceId id);
void resume(DeviceId id);
void close(DeviceId id);  // harmless for 0 or an id that is not open

// The length of the open file in milliseconds; false when it is not known (nothing open).
bool lengthMs(DeviceId id, std::uint32_t& milliseconds);

}  // namespace backend
