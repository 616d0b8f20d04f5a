// The sound service on POSIX systems: "MPEGVideo" files through libmpg123, "waveaudio" files
// through libsndfile, and SDL2's audio thread for the output.
#include "audio/backend.h"

#include <sys/stat.h>

#include <cstring>

#include "audio/sdl/decoder.h"
#include "audio/sdl/output.h"
#include "audio/sdl/track.h"
#include "audio/sdl/track_table.h"

namespace backend {
namespace {

// Only regular files: a directory can't play, and a named pipe would block the open.
bool isRegularFile(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

std::unique_ptr<sdl_backend::Decoder> openDecoder(const char* deviceType, const char* path) {
    if (std::strcmp(deviceType, "MPEGVideo") == 0) return sdl_backend::openMpegFile(path);
    if (std::strcmp(deviceType, "waveaudio") == 0) return sdl_backend::openWaveFile(path);
    return nullptr;
}

}  // namespace

DeviceId open(const char* deviceType, const char* elementName) {
    if (!isRegularFile(elementName)) return 0;
    std::unique_ptr<sdl_backend::Decoder> decoder = openDecoder(deviceType, elementName);
    if (!decoder) return 0;
    std::unique_ptr<sdl_backend::Track> track = sdl_backend::Track::create(std::move(decoder));
    if (!track) return 0;
    return sdl_backend::addTrack(std::move(track));
}

// Nothing reads the end-of-play notice, so no window is told.
void play(DeviceId id, std::uint32_t fromMs, platform::WindowHandle) {
    if (sdl_backend::Track* track = sdl_backend::findTrack(id)) sdl_backend::play(*track, fromMs);
}

void pause(DeviceId id) {
    if (sdl_backend::Track* track = sdl_backend::findTrack(id)) sdl_backend::setPaused(*track, true);
}

void resume(DeviceId id) {
    if (sdl_backend::Track* track = sdl_backend::findTrack(id)) sdl_backend::setPaused(*track, false);
}

void close(DeviceId id) {
    std::unique_ptr<sdl_backend::Track> track = sdl_backend::removeTrack(id);
    if (track) sdl_backend::forget(*track);
}

bool lengthMs(DeviceId id, std::uint32_t& milliseconds) {
    const sdl_backend::Track* track = sdl_backend::findTrack(id);
    if (track == nullptr) return false;
    milliseconds = track->lengthMs();
    return true;
}

}  // namespace backend
