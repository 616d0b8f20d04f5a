// The real player on a desktop bus of its own (a private dbus-daemon that the test starts and
// stops), driven and read through playerctl as media keys and sound menus drive it. Every other
// real-binary test runs with no bus at all, and shows the player as it always was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;
using harness::Clock;

// A program's output once it has ended, run with exactly the private bus in its environment.
std::vector<std::string> busEnvironment(const std::string& bus) {
    return {"DBUS_SESSION_BUS_ADDRESS=" + bus, std::string("PATH=") + std::getenv("PATH")};
}
std::string run(std::vector<std::string> command, const std::string& bus) {
    harness::Child child(std::move(command), "/", busEnvironment(bus));
    child.closeInput();
    child.wait(Clock::now() + std::chrono::seconds(10));
    return child.output();
}

std::vector<std::string> reading(const std::string& format) {
    return {"playerctl", "-p", "quavelin", "metadata", "--format", format};
}
const std::vector<std::string> kRead =
    reading("{{status}} {{xesam:title}} {{mpris:length}} {{loop}} {{shuffle}}");

// What command prints once done holds for it (or what it printed last, after 10 s).
std::string runUntil(const std::vector<std::string>& command, const std::string& bus, auto done) {
    std::string now;
    for (auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end && !done(now);)
        now = run(command, bus);
    return now;
}
// What playerctl reads of the player, once it reads want.
std::string seen(const std::string& bus, const std::string& want,
                 const std::vector<std::string>& read = kRead) {
    return runUntil(read, bus, [&](const std::string& now) { return now == want + "\n"; });
}

// Each test on a desktop bus of its own.
class EndToEndDesktopBus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(daemon_.waitFor("\n", Clock::now() + std::chrono::seconds(10)));
        bus = daemon_.output().substr(0, daemon_.output().find('\n'));
    }

    harness::Child daemon_{{"dbus-daemon", "--session", "--nofork", "--print-address=1"}, "/", {}};
    std::string bus;
};

TEST_F(EndToEndDesktopBus, PlayerctlDrivesAndReadsThePlayerThroughItsCommands) {
    TempTree tree;
    // 15 s each, as their Xing header says from the start; b's name is no UTF-8.
    for (const char* name : {"a.mp3", "b\xff.mp3", "c.mp3"})
        fs::copy_file(fs::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/vbr-xing.mp3",
                      tree.root() / name);
    Options onBus{.arguments = {"."}, .env = {"DBUS_SESSION_BUS_ADDRESS=" + bus}};

    std::unique_ptr<harness::Child> player = startPlayer(tree.root(), onBus);
    const std::string length = " 15000000 ";
    std::string announced = "Playing a" + length + "Playlist false\n";
    ASSERT_EQ(seen(bus, "Playing a" + length + "Playlist false"), announced);
    // What a sound menu hears: every change announced once, as it comes.
    std::vector<std::string> follow = kRead;
    follow.insert(follow.begin() + 3, "--follow");
    harness::Child follower(follow, "/", busEnvironment(bus));
    ASSERT_TRUE(follower.waitFor(announced, Clock::now() + std::chrono::seconds(10)));
    // Each call, and the state it leaves: in loop mode a track never ends by itself here.
    const std::pair<std::vector<std::string>, std::string> steps[] = {
        {{"loop", "Track"}, "Playing a" + length + "Track false"},
        {{"loop", "Track"}, "Playing a" + length + "Track false"},
        {{"pause"}, "Paused a" + length + "Track false"},
        {{"play"}, "Playing a" + length + "Track false"},
        {{"next"}, "Playing b\uFFFD" + length + "Track false"},
        {{"previous"}, "Playing a" + length + "Track false"},
        {{"stop"}, "Stopped a" + length + "Track false"},
        {{"position", "9"}, "Playing a" + length + "Track false"},
        {{"pause"}, "Paused a" + length + "Track false"},
        // Not the id the player published ("/org/quavelin/track/0"): ignored.
        {{"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.quavelin",
          "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player.SetPosition",
          "objpath:/org/quavelin/track/00", "int64:1000000"},
         "Paused a" + length + "Track false"},
        {{"shuffle", "On"}, "Paused a" + length + "Track true"},
        {{"loop", "None"}, "Paused a" + length + "None true"},
    };
    for (const auto& [call, state] : steps) {
        std::vector<std::string> command = call;
        if (call[0] != "dbus-send") command.insert(command.begin(), {"playerctl", "-p", "quavelin"});
        run(command, bus);
        EXPECT_EQ(seen(bus, state), state + "\n") << call[0];
        if (!announced.ends_with(state + "\n")) announced += state + "\n";
    }
    follower.waitFor(announced, Clock::now() + std::chrono::seconds(10));
    follower.readSome(200);
    EXPECT_EQ(follower.output(), announced);
    // Paused just after the jump to 9 s, the clock stands a little past it.
    double position = std::stod(run({"playerctl", "-p", "quavelin", "position"}, bus));
    EXPECT_TRUE(position >= 9 && position < 14) << position;
    // This sound output has no volume of its own: Volume reads 1 and can't be set.
    harness::Child setVolume({"playerctl", "-p", "quavelin", "volume", "0.5"}, "/", busEnvironment(bus));
    EXPECT_NE(setVolume.wait(Clock::now() + std::chrono::seconds(10)).status, 0);
    EXPECT_NE(setVolume.errors().find("PropertyReadOnly"), std::string::npos) << setVolume.errors();
    EXPECT_EQ(run({"playerctl", "-p", "quavelin", "volume"}, bus), "1.000000\n");

    // A second player takes a name of its own, and Quit ends it as exit would. It plays a long file
    // without a Xing header, whose first frames give a sixth of its length: the bus is shown the
    // exact length once the player has scanned the file.
    fs::create_directory(tree.root() / "long");
    fs::copy_file(QUAVELIN_LONG_UNTAGGED, tree.root() / "long/long.mp3");
    std::unique_ptr<harness::Child> second =
        startPlayer(tree.root(), {.arguments = {"long"}, .env = onBus.env});
    const std::string instance = "quavelin.instance" + std::to_string(second->pid());
    const std::string listed = runUntil({"playerctl", "-l"}, bus, [&](const std::string& now) {
        return now.find(instance) != std::string::npos;
    });
    EXPECT_TRUE(listed == "quavelin\n" + instance + "\n" || listed == instance + "\nquavelin\n") << listed;
    // 500 x 663 552 samples at 44.1 kHz, in microseconds.
    EXPECT_EQ(seen(bus, "7523265000", {"playerctl", "-p", instance, "metadata", "mpris:length"}),
              "7523265000\n");
    run({"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2." + instance,
         "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"},
        bus);
    EXPECT_EQ(second->wait(Clock::now() + std::chrono::seconds(10)).status, 1);
    EXPECT_TRUE(second->output().ends_with("0 | long\n\n" + prompt("long"))) << second->output();

    // The calls were carried out as the typed commands: their prompts, in their order, and no more.
    player->closeInput();
    EXPECT_EQ(player->wait(Clock::now() + std::chrono::seconds(10)).status, 1);
    const std::string a = prompt("a"), b = prompt("b\xff");
    EXPECT_EQ(player->output().substr(player->output().find("2 | c\n")),
              "2 | c\n\n" + a + a + a + a + "\n" + b + "\n" + a + a + a + a + a + a + a);
    EXPECT_EQ(player->errors(), "");

    // With --no-mpris, or a bus address where nothing answers, the player is as it always was.
    Options off{.arguments = {"--no-mpris", "."}, .env = {"DBUS_SESSION_BUS_ADDRESS=" + bus}};
    Options dead{.arguments = {"."},
                 .env = {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (tree.root() / "none").string()}};
    EXPECT_EQ(runPlayer(tree.root(), "ls exit\n", off).out, runPlayer(tree.root(), "ls exit\n", dead).out);
    EXPECT_EQ(runPlayer(tree.root(), "ls exit\n", dead).out,
              runPlayer(tree.root(), "ls exit\n", {.arguments = {"."}}).out);
}

// The 15-second track encoded again by lame with the tags of options; the pid lame ran as.
pid_t encode(const fs::path& to, const std::vector<std::string>& options) {
    std::vector<std::string> command{"lame", "--quiet", "--mp3input"};
    command.insert(command.end(), options.begin(), options.end());
    command.insert(command.end(), {kLongTrack.string(), to.string()});
    harness::Child lame(command, "/", {"LC_ALL=C.UTF-8", std::string("PATH=") + std::getenv("PATH")});
    EXPECT_EQ(lame.wait(Clock::now() + std::chrono::seconds(30)).status, 0) << lame.errors();
    return lame.pid();
}

std::string contents(const fs::path& file) {
    return (std::ostringstream() << std::ifstream(file).rdbuf()).str();
}

const std::vector<std::string> kTags = reading(
    "{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{xesam:albumArtist}}|{{xesam:trackNumber}}|"
    "{{xesam:discNumber}}|{{mpris:artUrl}}");

TEST_F(EndToEndDesktopBus, TheTagsAndCoverOfTheTrackThatPlays) {
    TempTree tree;
    const fs::path music = tree.root() / "music", runtime = tree.root() / "runtime";
    fs::create_directories(music);
    fs::create_directory(runtime);
    const std::string picture = "\xFF\xD8\xFF\xE0 a JPEG's first bytes, then the cover's\xFF\xD9";
    std::ofstream(tree.root() / "cover.jpg") << picture;
    encode(music / "1 tagged.mp3",
           {"--tt", "Title", "--ta", "Artist", "--tl", "Album", "--tn", "3/12", "--tv", "TPE2=Album Artist",
            "--tv", "TPOS=2/3", "--ti", (tree.root() / "cover.jpg").string()});
    encode(music / "2 plain.mp3", {});
    encode(music / "3 latin1.mp3", {"--id3v1-only", "--tt", "Café", "--ta", "Étoile"});  // written as Latin-1
    pid_t gone = encode(music / "4 utf16.mp3",
                        {"--id3v2-only", "--id3v2-utf16", "--tt", "日本語のうた", "--ta", "歌手"});
    std::ofstream(music / "Cover.JPG") << "beside";  // taken before these
    std::ofstream(music / "front.jpg") << "front";
    std::ofstream(music / "folder.PNG") << "folder";
    // A picture a killed run left behind; its process is gone.
    const fs::path abandoned = runtime / ("quavelin-cover-" + std::to_string(gone) + "-1.jpg");
    std::ofstream(abandoned) << picture;

    std::unique_ptr<harness::Child> player = startPlayer(
        music, {.arguments = {"."},
                .env = {"DBUS_SESSION_BUS_ADDRESS=" + bus, "XDG_RUNTIME_DIR=" + runtime.string()}});
    player->write("loop\n");
    const std::string pictures =
        "file://" + (runtime / "quavelin-cover-").string() + std::to_string(player->pid());
    const std::string beside = "file://" + (music / "Cover.JPG").string();
    // The embedded picture is written for the track to a file of the player's own, readable by the
    // user only; the track without one shows the cover beside it.
    std::string tagged = "Title|Artist|Album|Album Artist|3|2|" + pictures + "-1.jpg";
    EXPECT_EQ(seen(bus, tagged, kTags), tagged + "\n");
    const fs::path written = runtime / ("quavelin-cover-" + std::to_string(player->pid()) + "-1.jpg");
    EXPECT_EQ(contents(written), picture);
    struct stat status {};
    EXPECT_EQ(::stat(written.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600);
    EXPECT_FALSE(fs::exists(abandoned));
    for (const auto& [number, shown] : {std::pair{"1", "2 plain||||||" + beside},
                                        {"2", "Café|Étoile|||||" + beside},
                                        {"3", "日本語のうた|歌手|||||" + beside}}) {
        player->write(std::string(number) + "\n");
        EXPECT_EQ(seen(bus, shown, kTags), shown + "\n");
    }
    EXPECT_EQ(contents(beside.substr(7)), "beside");
    EXPECT_FALSE(fs::exists(written));  // the track's picture went with it
    player->write("0\n");
    tagged = "Title|Artist|Album|Album Artist|3|2|" + pictures + "-2.jpg";
    EXPECT_EQ(seen(bus, tagged, kTags), tagged + "\n");
    // A track of the same name in another directory is another file. Its ID3v2 tag of 50 MB (a
    // header whose size is that in seven-bit bytes, one title frame, then padding) is passed over
    // unread, and the ID3v1 tag after the audio read all the same.
    encode(tree.root() / "v1.mp3", {"--id3v1-only", "--tt", "Small"});
    {
        constexpr std::size_t kSize = 50 << 20;
        std::string tag = "ID3\x03";
        tag += {'\0', '\0', kSize >> 21 & 127, kSize >> 14 & 127, kSize >> 7 & 127, kSize & 127};
        tag += std::string("TIT2\0\0\0\x05\0\0\0Huge", 15);
        tag.resize(10 + kSize, '\0');
        fs::create_directory(tree.root() / "two");
        std::ofstream(tree.root() / "two/1 tagged.mp3", std::ios::binary)
            << tag << contents(tree.root() / "v1.mp3");
    }
    player->write("cd ../two\n");
    EXPECT_EQ(seen(bus, "Small||||||", kTags), "Small||||||\n");
    player->closeInput();
    EXPECT_EQ(player->wait(Clock::now() + std::chrono::seconds(10)).status, 1);
    EXPECT_TRUE(fs::is_empty(runtime));  // and the last picture with the run
    // The console shows the names, as ever.
    EXPECT_NE(player->output().find(prompt("1 tagged") + prompt("1 tagged") + "\n" + prompt("2 plain")),
              std::string::npos)
        << player->output();
}

}  // namespace
