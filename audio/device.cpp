#include "audio/device.h"

#include <array>
#include <string>

#include "audio/backend.h"

namespace {

// The open device; 0 while none is open.
backend::DeviceId openDevice = 0;

struct Recognised {
    std::string_view extension;
    backend::Format format;
};

// Compared byte for byte: mixed case such as "Mp3" is not recognised.
constexpr std::array<Recognised, 4> kRecognised{{
    {"mp3", backend::Format::MpegAudio},
    {"MP3", backend::Format::MpegAudio},
    {"wav", backend::Format::Wave},
    {"WAV", backend::Format::Wave},
}};

}  // namespace

int openAndPlay(std::string_view trackName, std::int32_t fromMs) {
    std::size_t lastDot = trackName.rfind('.');
    if (lastDot == std::string_view::npos) return 1;
    std::string_view extension = trackName.substr(lastDot + 1);
    for (const Recognised& r : kRecognised) {
        if (extension != r.extension) continue;
        openDevice = backend::open(r.format, std::string(trackName).c_str());
        backend::play(openDevice, static_cast<std::uint32_t>(fromMs));
        return 0;
    }
    return 1;
}

void closeDevice() {
    backend::close(openDevice);
    openDevice = 0;
}

void pauseDevice() { backend::pause(openDevice); }

void resumeDevice() { backend::resume(openDevice); }

std::int64_t trackLengthMs() {
    std::uint32_t milliseconds = 0;
    if (!backend::lengthMs(openDevice, milliseconds)) return 0;
    return milliseconds;
}
