// The sound service on POSIX systems: MPEG audio through libmpg123, wave files through libsndfile,
// played through the sound server or SDL (see output.h).
#include "audio/backend.h"

#include <optional>

#include "audio/posix/decoder.h"
#include "audio/posix/output.h"
#include "audio/posix/track.h"
#include "audio/posix/track_file.h"
#include "audio/posix/track_table.h"

namespace backend {
namespace {

// The file closed last, kept with its decoder and frame index: d, f and jump close the track and
// open the same file again, and a large file's scan would make every such move wait. Never
// destroyed: nothing is gained by tearing it down at the process's end.
sound::OpenFile& lastClosed() {
    static auto* const instance = new sound::OpenFile{};
    return *instance;
}

std::unique_ptr<sound::Decoder> openDecoder(Format format, sound::TrackFile file) {
    switch (format) {
        case Format::MpegAudio: return sound::openMpegFile(std::move(file));
        case Format::Wave: return sound::openWaveFile(std::move(file));
    }
    return nullptr;
}

// The closed file's track when it is this same unchanged file, a new one otherwise.
std::unique_ptr<sound::Track> openTrack(Format format, sound::TrackFile file) {
    sound::OpenFile& last = lastClosed();
    std::unique_ptr<sound::Track> reused = std::move(last.track);
    if (reused && last.format == format && last.identity == file.identity()) return reused;
    reused.reset();
    std::unique_ptr<sound::Decoder> decoder = openDecoder(format, std::move(file));
    if (!decoder) return nullptr;
    return std::make_unique<sound::Track>(std::move(decoder));
}

}  // namespace

DeviceId open(Format format, const char* fileName) {
    std::optional<sound::TrackFile> file = sound::openTrackFile(fileName);
    if (!file) return 0;
    sound::FileIdentity identity = file->identity();
    std::unique_ptr<sound::Track> track = openTrack(format, std::move(*file));
    if (!track) return 0;
    return sound::addTrack({std::move(track), format, identity});
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
    sound::OpenFile file = sound::removeTrack(id);
    if (!file.track) return;
    sound::forget(*file.track);
    lastClosed() = std::move(file);
}

bool lengthMs(DeviceId id, std::uint32_t& milliseconds) {
    const sound::Track* track = sound::findTrack(id);
    if (track == nullptr) return false;
    milliseconds = track->lengthMs();
    return true;
}

}  // namespace backend
