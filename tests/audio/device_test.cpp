// The device logic shared by every platform, against the recording backend: which names reach
// the sound service, on which device type, and what the callers get back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device.h"
#include "tests/fake/fake_platform.h"

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }

    // "what:id:name:type:fromMs" for every call since the reset.
    static std::vector<std::string> calls() {
        std::vector<std::string> result;
        for (const fake::DeviceCall& c : fake::deviceCalls())
            result.push_back(c.what + ":" + std::to_string(c.id) + ":" + c.name + ":" + c.type + ":" +
                             std::to_string(c.fromMs));
        return result;
    }
};

TEST_F(DeviceTest, RecognisedExtensionsOpenTheNameOnTheirDeviceTypeAndPlayFromThePosition) {
    const std::string longName = std::string(251, 'n') + ".mp3";  // 255 bytes, the longest a list holds
    struct Case {
        std::string name;
        const char* type;
    };
    for (const Case& c :
         {Case{"song.mp3", "MPEGVideo"}, Case{"SONG.MP3", "MPEGVideo"}, Case{"a.b.wav", "waveaudio"},
          Case{"TAKE.WAV", "waveaudio"}, Case{longName, "MPEGVideo"}}) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::addFile("/" + c.name);
        EXPECT_EQ(openAndPlay(c.name.c_str(), nullptr, 12 * 1000), 0);
        EXPECT_EQ(gDeviceId, 1u);
        const std::string name = c.name;
        EXPECT_EQ(calls(), (std::vector<std::string>{"open:1:" + name + ":" + c.type + ":0",
                                                     "play:1:" + name + "::12000"}));
    }
}

TEST_F(DeviceTest, AnyOtherExtensionReturnsOneSendsNothingAndKeepsTheOpenDevice) {
    fake::addFile("/playing.mp3");
    ASSERT_EQ(openAndPlay("playing.mp3", nullptr, 0), 0);
    const auto before = fake::deviceCalls().size();

    const std::string ext31 = "x." + std::string(31, 'a');  // fits the extension buffer, still unknown
    const std::string ext32 = "x." + std::string(32, 'a');  // does not fit it
    for (const std::string& name :
         {std::string("song.Mp3"), std::string("song.mP3"), std::string("song."), std::string("song"),
          std::string("song.mp"), std::string("song.mp3 "), std::string(".wave"), ext31, ext32}) {
        SCOPED_TRACE(name);
        fake::addFile("/" + name);
        EXPECT_EQ(openAndPlay(name.c_str(), nullptr, 0), 1);
        EXPECT_EQ(gDeviceId, 1u);
    }
    EXPECT_EQ(fake::deviceCalls().size(), before);

    // With nothing open, an unknown extension leaves the device closed.
    closeDevice();
    fake::addFile("/song.Mp3");
    EXPECT_EQ(openAndPlay("song.Mp3", nullptr, 0), 1);
    EXPECT_EQ(gDeviceId, 0u);
}

TEST_F(DeviceTest, CloseAlwaysLeavesNoDeviceAndCommandsNameTheOpenOne) {
    fake::addFile("/song.mp3");
    openAndPlay("song.mp3", nullptr, 0);
    pauseDevice();
    resumeDevice();
    closeDevice();
    EXPECT_EQ(gDeviceId, 0u);
    closeDevice();  // nothing open: the close names device 0
    EXPECT_EQ(gDeviceId, 0u);
    EXPECT_EQ(calls(), (std::vector<std::string>{"open:1:song.mp3:MPEGVideo:0", "play:1:song.mp3::0",
                                                 "pause:1:song.mp3::0", "resume:1:song.mp3::0",
                                                 "close:1:song.mp3::0", "close:0:::0"}));
}

TEST_F(DeviceTest, LengthIsWholeSecondsRoundedDownAndZeroWhenNothingAnswers) {
    fake::addFile("/long.mp3");
    fake::addFile("/short.wav");
    fake::setLengthMs("long.mp3", 215'999);
    fake::setLengthMs("short.wav", 999);

    openAndPlay("long.mp3", nullptr, 0);
    EXPECT_EQ(trackLengthSeconds(), 215);
    closeDevice();
    openAndPlay("short.wav", nullptr, 0);
    EXPECT_EQ(trackLengthSeconds(), 0);
    closeDevice();

    // A file that can't be opened: the open hands back no device, the play goes nowhere, and the
    // length query fails.
    fake::setLengthMs("missing.mp3", 5000);
    EXPECT_EQ(openAndPlay("missing.mp3", nullptr, 0), 0);
    EXPECT_EQ(gDeviceId, 0u);
    EXPECT_EQ(trackLengthSeconds(), 0);
    // Nothing open at all.
    closeDevice();
    EXPECT_EQ(trackLengthSeconds(), 0);
}

}  // namespace
