// The device logic shared by every platform, against the recording backend: which names reach
// the sound service, as which format, and what the callers get back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device.h"
#include "tests/fake/fake_platform.h"

namespace {

// "what:id:name:format:fromMs;" for every call since the reset.
std::string calls() {
    std::string result;
    for (const fake::DeviceCall& c : fake::deviceCalls())
        result += c.what + ":" + std::to_string(c.id) + ":" + c.name + ":" + c.type + ":" +
                  std::to_string(c.fromMs) + ";";
    return result;
}

// The first names open as the formats listed, in that order; the device leaves the others alone.
TEST(Device, OnlyTheFourExtensionsOpenTheNameAsTheirFormat) {
    const std::string longest = std::string(251, 'n') + ".mp3";  // 255 bytes, the longest a list holds
    const std::vector<std::string> formats{"mpeg", "mpeg", "wave", "wave", "mpeg"},
        names{"song.mp3", "SONG.MP3", "a.b.wav", "TAKE.WAV",  longest,
              "song.Mp3", "song.",    "song",    "song.mp3 ", ".wave"};
    for (std::size_t k = 0; k < names.size(); ++k) {
        fake::reset();
        fake::addFile("/" + names[k]);
        const bool opens = k < formats.size();
        EXPECT_EQ(openAndPlay(names[k], 12'000), opens ? 0 : 1) << names[k];
        EXPECT_EQ(
            calls(),
            opens ? "open:1:" + names[k] + ":" + formats[k] + ":0;play:1:" + names[k] + "::12000;" : "");
    }
}

TEST(Device, CommandsNameTheOpenDeviceAndCloseForgetsIt) {
    fake::reset();
    fake::addFile("/song.mp3");
    fake::setLengthMs("song.mp3", 215'999);
    openAndPlay("song.mp3", 0);
    openAndPlay("song.xyz", 0);  // not ours: the open device stays
    pauseDevice();
    resumeDevice();
    EXPECT_EQ(trackLengthSeconds(), 215);
    closeDevice();
    closeDevice();
    openAndPlay("missing.wav", 0);  // the open hands back no device; the play goes nowhere
    EXPECT_EQ(trackLengthSeconds(), 0);
    EXPECT_EQ(calls(),
              "open:1:song.mp3:mpeg:0;play:1:song.mp3::0;pause:1:song.mp3::0;resume:1:song.mp3::0;"
              "length:1:song.mp3::0;close:1:song.mp3::0;close:0:::0;open:0:missing.wav:wave:0;play:0:::0;"
              "length:0:::0;");
}

}  // namespace
