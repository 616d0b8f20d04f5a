// The device logic shared by every platform, against the recording backend: which names reach
// the sound service, as which format, and what the callers get back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device.h"
#include "tests/fake/fake_platform.h"

namespace {

// "what:id:name:format:fromMs" for every call since the reset.
std::vector<std::string> calls() {
    std::vector<std::string> result;
    for (const fake::DeviceCall& c : fake::deviceCalls())
        result.push_back(c.what + ":" + std::to_string(c.id) + ":" + c.name + ":" + c.type + ":" +
                         std::to_string(c.fromMs));
    return result;
}

TEST(Device, OnlyTheFourExtensionsOpenTheNameAsTheirFormat) {
    const std::string longName = std::string(251, 'n') + ".mp3";  // 255 bytes, the longest a list holds
    for (auto [name, format] : std::vector<std::pair<std::string, std::string>>{{"song.mp3", "mpeg"},
                                                                                {"SONG.MP3", "mpeg"},
                                                                                {"a.b.wav", "wave"},
                                                                                {"TAKE.WAV", "wave"},
                                                                                {longName, "mpeg"}}) {
        SCOPED_TRACE(name);
        fake::reset();
        fake::addFile("/" + name);
        EXPECT_EQ(openAndPlay(name, 12 * 1000), 0);
        EXPECT_EQ(calls(), (std::vector<std::string>{"open:1:" + name + ":" + format + ":0",
                                                     "play:1:" + name + "::12000"}));
    }
    fake::reset();
    for (const std::string name :
         {"song.Mp3", "song.mP3", "song.", "song", "song.mp", "song.mp3 ", ".wave"}) {
        fake::addFile("/" + name);
        EXPECT_EQ(openAndPlay(name, 0), 1) << name;
    }
    EXPECT_EQ(calls(), std::vector<std::string>{});
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
    EXPECT_EQ(trackLengthSeconds(), 0);
    openAndPlay("missing.wav", 0);  // the open hands back no device; the play goes nowhere
    EXPECT_EQ(trackLengthSeconds(), 0);
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"open:1:song.mp3:mpeg:0", "play:1:song.mp3::0", "pause:1:song.mp3::0",
                                        "resume:1:song.mp3::0", "length:1:song.mp3::0", "close:1:song.mp3::0",
                                        "close:0:::0", "length:0:::0", "open:0:missing.wav:wave:0",
                                        "play:0:::0", "length:0:::0"}));
}

}  // namespace
