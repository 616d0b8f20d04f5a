// The real player on a desktop bus of its own (a private dbus-daemon that the test starts and
// stops), driven and read through playerctl as media keys and sound menus drive it. Every other
// real-binary test runs with no bus at all, and shows the player as it always was.
#include <gtest/gtest.h>

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

const std::vector<std::string> kRead{
    "playerctl", "-p",       "quavelin",
    "metadata",  "--format", "{{status}} {{xesam:title}} {{mpris:length}} {{loop}} {{shuffle}}"};

// What playerctl reads of the player, once it reads want (or the last reading after 10 s).
std::string seen(const std::string& bus, const std::string& want) {
    std::string now;
    for (auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end && now != want + "\n";)
        now = run(kRead, bus);
    return now;
}

TEST(EndToEndDesktopBus, PlayerctlDrivesAndReadsThePlayerThroughItsCommands) {
    TempTree tree;
    // 15 s each, as their Xing header says from the start; b's name is no UTF-8.
    for (const char* name : {"a.mp3", "b\xff.mp3", "c.mp3"})
        fs::copy_file(fs::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/vbr-xing.mp3",
                      tree.root() / name);
    harness::Child daemon({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, "/", {});
    ASSERT_TRUE(daemon.waitFor("\n", Clock::now() + std::chrono::seconds(10)));
    const std::string bus = daemon.output().substr(0, daemon.output().find('\n'));
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
        {{"shuffle", "On"}, "Paused a" + length + "Track true"},
        {{"loop", "None"}, "Paused a" + length + "None true"},
    };
    for (const auto& [call, state] : steps) {
        std::vector<std::string> command{"playerctl", "-p", "quavelin"};
        command.insert(command.end(), call.begin(), call.end());
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

    // A second player takes a name of its own, and Quit ends it as exit would. It plays a long file
    // without a Xing header (500 copies of one), whose first frames give a sixth of its length: the
    // bus is shown the exact length once the player has scanned the file.
    {
        const std::ifstream copy(fs::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/vbr-no-xing.mp3",
                                 std::ios::binary);
        const std::string bytes = (std::ostringstream() << copy.rdbuf()).str();
        fs::create_directory(tree.root() / "long");
        std::ofstream file(tree.root() / "long/long.mp3", std::ios::binary);
        for (int k = 0; k < 500; ++k) file << bytes;
    }
    std::unique_ptr<harness::Child> second =
        startPlayer(tree.root(), {.arguments = {"long"}, .env = onBus.env});
    const std::string instance = "quavelin.instance" + std::to_string(second->pid());
    std::string listed;
    for (auto end = Clock::now() + std::chrono::seconds(10);
         Clock::now() < end && listed.find(instance) == std::string::npos;)
        listed = run({"playerctl", "-l"}, bus);
    EXPECT_TRUE(listed == "quavelin\n" + instance + "\n" || listed == instance + "\nquavelin\n") << listed;
    std::string exact;  // 500 x 663 552 samples at 44.1 kHz, in microseconds
    for (auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end && exact != "7523265000\n";)
        exact = run({"playerctl", "-p", instance, "metadata", "mpris:length"}, bus);
    EXPECT_EQ(exact, "7523265000\n");
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

}  // namespace
