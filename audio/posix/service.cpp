// The sound service on POSIX systems: MPEG audio through libmpg123, played through the sound
// server or SDL (see output.h).
#include "audio/posix/service.h"

#include <optional>

#include "audio/posix/decoder.h"
#include "audio/posix/output.h"
#include "audio/posix/track.h"
#include "audio/posix/track_file.h"

namespace sound {
namespace {

// A file with its track, as it was when opened.
struct OpenFile {
    std::unique_ptr<Track> track;
    FileIdentity identity;
};

// Plain pointers, never destroyed: the output's thread may still render a track while std::exit
// runs the static destructors, and the process's end releases everything anyway.
// The open file, and the one closed last, kept with its decoder and frame index: d, f and jump
// close the track and open the same file again, and a large file's scan would make every such
// move wait.
OpenFile& current() {
    static auto* const instance = new OpenFile{};
    return *instance;
}
OpenFile& lastClosed() {
    static auto* const instance = new OpenFile{};
    return *instance;
}

void close();

// The closed file's track when it is this same unchanged file, a new one otherwise.
std::unique_ptr<Track> openTrack(TrackFile file) {
    OpenFile& last = lastClosed();
    std::unique_ptr<Track> reused = std::move(last.track);
    if (reused && last.identity == file.identity()) return reused;
    reused.reset();
    std::unique_ptr<Decoder> decoder = openMpegFile(std::move(file));
    if (!decoder) return nullptr;
    return std::make_unique<Track>(std::move(decoder));
}

int open(const char* fileName) {
    close();  // never destroy a track the output may still render
    std::optional<TrackFile> file = openTrackFile(fileName);
    if (!file) return 0;
    FileIdentity identity = file->identity();
    std::unique_ptr<Track> track = openTrack(std::move(*file));
    if (!track) return 0;
    current() = {std::move(track), identity};
    return 1;
}

void play(std::uint32_t fromMs) {
    if (Track* track = current().track.get()) sound::play(*track, fromMs);
}

void pause() {
    if (Track* track = current().track.get()) setPaused(*track, true);
}

void resume() {
    if (Track* track = current().track.get()) setPaused(*track, false);
}

void close() {
    if (!current().track) return;
    forget(*current().track);
    lastClosed() = std::move(current());
    current() = {};
}

std::uint32_t lengthMs() {
    const Track* track = current().track.get();
    return track != nullptr ? track->lengthMs() : 0;
}

// For now no volume of its own: to be the sound server's stream volume.
double volume() { return -1; }
void setVolume(double) {}

}  // namespace

const SoundService kService{open, play, pause, resume, close, lengthMs, volume, setVolume};

}  // namespace sound
