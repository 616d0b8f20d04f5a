#include "audio/device.h"

#include <array>
#include <cstring>
#include <string_view>

backend::DeviceId gDeviceId = 0;

namespace {

struct Recognised {
    const char* extension;
    const char* deviceType;
};

// Compared in this order, byte for byte: mixed case such as "Mp3" is not recognised.
constexpr std::array<Recognised, 4> kRecognised{{
    {"mp3", "MPEGVideo"},
    {"MP3", "MPEGVideo"},
    {"wav", "waveaudio"},
    {"WAV", "waveaudio"},
}};

}  // namespace

int openAndPlay(const char* trackName, platform::WindowHandle notifyWindow, std::int32_t fromMs) {
    const char* lastDot = std::strrchr(trackName, '.');
    if (lastDot == nullptr) return 1;

    // The extension, kept only when it fits; anything of 32 bytes or more is not one of ours.
    std::array<char, 32> dot{};
    std::size_t extLength = std::strlen(lastDot + 1);
    if (extLength >= dot.size()) return 1;
    std::memcpy(dot.data(), lastDot + 1, extLength + 1);

    const Recognised* found = nullptr;
    for (const Recognised& r : kRecognised)
        if (std::strcmp(dot.data(), r.extension) == 0) {
            found = &r;
            break;
        }
    if (found == nullptr) return 1;

    // The element name: the name up to its last '.', then the extension as it was found.
    std::array<char, 256> file_name{};
    std::size_t stem = static_cast<std::size_t>(lastDot - trackName) + 1;
    if (stem + std::strlen(found->extension) >= file_name.size()) return 1;
    std::memcpy(file_name.data(), trackName, stem);
    std::strcpy(file_name.data() + stem, found->extension);

    std::array<char, 32> file_shurui{};
    std::strcpy(file_shurui.data(), found->deviceType);

    gDeviceId = backend::open(file_shurui.data(), file_name.data());
    backend::play(gDeviceId, static_cast<std::uint32_t>(fromMs), notifyWindow);
    return 0;
}

void closeDevice() {
    backend::close(gDeviceId);
    gDeviceId = 0;
}

void pauseDevice() { backend::pause(gDeviceId); }

void resumeDevice() { backend::resume(gDeviceId); }

int trackLengthSeconds() {
    std::uint32_t milliseconds = 0;
    if (!backend::lengthMs(gDeviceId, milliseconds)) return 0;
    return static_cast<int>(milliseconds / 1000u);
}
