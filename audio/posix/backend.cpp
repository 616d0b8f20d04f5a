// The sound service on POSIX systems: MPEG audio through libmpg123, wave files through libsndfile, and SDL2's
// audio thread for the output.
#include "audio/backend.h"

#include <sys/stat.h>

#include "audio/posix/decoder.h"
#include "audio/posix/output.h"
#include "audio/posix/track.h"
#include "audio/posix/track_table.h"

namespace backend {
namespace {

// Only regular files: a directory can't play, and a named pipe would block the open.
bool isRegularFile(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

std::unique_ptr<sound::Decoder> openDecoder(Format format, const char* path) {
    switch (format) {
        case Format::MpegAudio: return sound::openMpegFile(path);
        case Format::Wave: return sound::openWaveFile(path);
    }
    return nullptr;
}

}  // namespace

DeviceId open(Format format, const char* fileName) {
    if (!isRegularFile(fileName)) return 0;
    std::unique_ptr<sound::Decoder> decoder = openDecoder(format, fileName);
    if (!decoder) return 0;
    std::unique_ptr<sound::Track> track = sound::Track::create(std::move(decoder));
    if (!track) return 0;
    return sound::addTrack(std::move(track));
}

void play(DeviceId id, std::uint32_t fromMs) {
    if (sound::Track* track = sound::findTrack(id)) sound::play(*track, fromMs);
}

void pause(DeviceId id) {
    if (sound::Track* track = sound::findTrack(id)) sound::setPaused(*track, true);
}

void resume(DeviceId id) {
    if (sound::Track* track = sound::findTrack(id)) sound::setPaused(*track, false);
}

void close(DeviceId id) {
    std::unique_ptr<sound::Track> track = sound::removeTrack(id);
    if (track) sound::forget(*track);
}

bool lengthMs(DeviceId id, std::uint32_t& milliseconds) {
    const sound::Track* track = sound::findTrack(id);
    if (track == nullptr) return false;
    milliseconds = track->lengthMs();
    return true;
}

}  // namespace backend
