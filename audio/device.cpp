#include "audio/device.h"

#include <algorithm>
#include <array>
#include <string>

#include "audio/sound_service.h"

namespace {

const SoundService& service() {
    static const SoundService& chosen = soundService();
    return chosen;
}

// Compared byte for byte: mixed case such as "Mp3" is not recognised.
constexpr std::array<std::string_view, 2> kRecognised{"mp3", "MP3"};

bool playable(std::string_view trackName) {
    std::size_t lastDot = trackName.rfind('.');
    if (lastDot == std::string_view::npos) return false;
    std::string_view extension = trackName.substr(lastDot + 1);
    return std::find(kRecognised.begin(), kRecognised.end(), extension) != kRecognised.end();
}

}  // namespace

int openAndPlay(std::string_view trackName, std::int32_t fromMs) {
    if (!playable(trackName)) return 1;
    if (service().open(std::string(trackName).c_str()) != 0)
        service().play(static_cast<std::uint32_t>(fromMs));
    return 0;
}

void closeDevice() { service().close(); }
void pauseDevice() { service().pause(); }
void resumeDevice() { service().resume(); }
TrackLength trackLength() {
    // Asked first: a length that is exact stays so, and the one read next is then exact too.
    const bool estimate = service().lengthIsExact() == 0;
    return {service().lengthMs(), estimate};
}

bool queueTrack(std::string_view trackName) {
    return playable(trackName) && service().queue(std::string(trackName).c_str()) != 0;
}

void withdrawQueuedTrack() { service().withdraw(); }
bool advanceToQueuedTrack() { return service().advance() != 0; }

std::optional<std::int64_t> msUntilTrackEnd() {
    const std::int64_t ms = service().msUntilEnd();
    return ms >= 0 ? std::optional(ms) : std::nullopt;
}

void finishSound() { service().finish(); }
double outputVolume() { return service().volume(); }
void setOutputVolume(double volume) { service().setVolume(volume); }
