// Track names handed to the device: only the four extensions open a device, each on its own type
// and under the name as it stands; anything else sends nothing and returns 1, within the buffers
// of the device, however long the name or its extension.
#include <cstring>
#include <string>

#include "audio/device.h"
#include "tests/fake/fake_platform.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    fake::reset();
    // Four bytes of start position, then the name as a track slot holds it.
    std::int32_t fromMs = 0;
    std::memcpy(&fromMs, data, sizeof fromMs);
    platform::NameSlot slot{};
    std::memcpy(slot.data(), data + 4, std::min(size - 4, slot.size() - 1));
    const std::string name(slot.data());
    // The file exists when it can: then the device opens for real and reports a length.
    const bool exists = !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
    if (exists) fake::addFile("/" + name);

    const char* lastDot = std::strrchr(name.c_str(), '.');
    std::string extension = lastDot == nullptr ? std::string() : std::string(lastDot + 1);
    const char* type = nullptr;
    if (lastDot != nullptr && (extension == "mp3" || extension == "MP3")) type = "mpeg";
    if (lastDot != nullptr && (extension == "wav" || extension == "WAV")) type = "wave";

    int result = openAndPlay(slot.data(), fromMs);
    FUZZ_REQUIRE(std::string(slot.data()) == name);  // the caller's name is left as it was
    const auto& calls = fake::deviceCalls();
    if (type == nullptr) {
        FUZZ_REQUIRE(result == 1);
        FUZZ_REQUIRE(calls.empty());
        return 0;
    }
    FUZZ_REQUIRE(result == 0);
    FUZZ_REQUIRE(calls.size() == 2);
    FUZZ_REQUIRE(calls[0].what == "open" && calls[0].name == name && calls[0].type == type);
    FUZZ_REQUIRE(calls[1].what == "play" && calls[1].fromMs == static_cast<std::uint32_t>(fromMs));
    FUZZ_REQUIRE((calls[0].id != 0) == exists && calls[1].id == calls[0].id);
    FUZZ_REQUIRE(trackLengthSeconds() == (exists ? 180 : 0));
    closeDevice();
    return 0;
}
