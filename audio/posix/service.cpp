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
// The open file, the one queued to follow it, and the one closed last, kept with its decoder and
// all it knows of the file: d, f and jump close the track and open the same file again.
OpenFile& current() {
    static auto* const instance = new OpenFile{};
    return *instance;
}
OpenFile& queued() {
    static auto* const instance = new OpenFile{};
    return *instance;
}
OpenFile& lastClosed() {
    static auto* const instance = new OpenFile{};
    return *instance;
}

// file is the one closed last from now on; the one kept before goes, once the output has let it go.
void keepClosed(OpenFile&& file) {
    if (lastClosed().track) output::forget(*lastClosed().track);
    lastClosed() = std::move(file);
    file = {};
}

// The closed file's track when it is this same unchanged file, a new one otherwise.
std::unique_ptr<Track> openTrack(TrackFile file) {
    OpenFile& last = lastClosed();
    if (last.track && last.identity == file.identity()) return std::move(last.track);
    std::unique_ptr<Decoder> decoder = openMpegFile(std::move(file));
    if (!decoder) return nullptr;
    return std::make_unique<Track>(std::move(decoder));
}

std::optional<OpenFile> openFile(const char* fileName) {
    std::optional<TrackFile> file = openTrackFile(fileName);
    if (!file) return std::nullopt;
    FileIdentity identity = file->identity();
    std::unique_ptr<Track> track = openTrack(std::move(*file));
    if (!track) return std::nullopt;
    return OpenFile{std::move(track), identity};
}

void close() {
    if (!current().track) return;
    output::stop();
    keepClosed(std::move(current()));
}

int open(const char* fileName) {
    close();
    std::optional<OpenFile> file = openFile(fileName);
    if (!file) return 0;
    current() = std::move(*file);
    return 1;
}

void play(std::uint32_t fromMs) {
    Track* track = current().track.get();
    if (track == nullptr) return;
    // A play from inside a file that is still being scanned waits here for the scan to pass its
    // position, not with the sink held off.
    track->awaitScannedTo(fromMs);
    output::play(*track, fromMs);
}

void pause() {
    if (current().track) output::pause();
}

void resume() {
    if (current().track) output::resume();
}

std::uint32_t lengthMs() {
    const Track* track = current().track.get();
    return track != nullptr ? track->lengthMs() : 0;
}

int lengthIsExact() {
    const Track* track = current().track.get();
    return track == nullptr || track->lengthIsExact() ? 1 : 0;
}

void withdraw() {
    if (!queued().track) return;
    output::unfollow();
    keepClosed(std::move(queued()));
}

int queue(const char* fileName) {
    withdraw();
    std::optional<OpenFile> file = openFile(fileName);
    if (!file) return 0;
    queued() = std::move(*file);
    output::follow(*queued().track);
    return 1;
}

int advance() {
    if (!queued().track) return 0;
    output::advance(*queued().track);
    if (current().track) keepClosed(std::move(current()));
    current() = std::move(queued());
    queued() = {};
    return 1;
}

std::int64_t msUntilEnd() { return output::msUntilEnd().value_or(-1); }

}  // namespace

const SoundService kService{open,       play,           pause,          resume,           close,
                            lengthMs,   lengthIsExact,  queue,          withdraw,         advance,
                            msUntilEnd, output::finish, output::volume, output::setVolume};

}  // namespace sound
