// A sound server that takes the connection and never answers holds nothing up: a socket that only
// accepts, and a real server stopped by SIGSTOP. The first prompt comes, a command is carried out
// and exit is obeyed long before the server's own libraries would give up on it (some 60 s), and
// once a real server answers there, the player's stream plays on it. The deadlines only tell a
// hang from an answer; the time each takes is measured by the benchmark.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

const std::string kPulse = QUAVELIN_SOURCE_DIR "/scripts/private-pulse ";

// A socket at path that takes connections into its backlog and never says a word.
int silentSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd, 16), 0);
    return fd;
}

// Whether the server at dir/native plays a stream of anyone's, within a while.
bool playsOn(const fs::path& dir) {
    const std::string listed = "PULSE_SERVER=unix:" + (dir / "native").string() +
                               " pactl list short sink-inputs 2>/dev/null | grep -q .";
    for (auto until = harness::Clock::now() + std::chrono::seconds(10); harness::Clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (std::system(listed.c_str()) == 0) return true;
    return false;
}

// For each kind of silent server at dir/native: how to make it so, and how to make it answer.
TEST(EndToEndSoundServer, OneThatTakesTheConnectionAndNeverAnswersHoldsNothingUp) {
    TempTree tree;
    const fs::path dir = tree.root() / "pulse";
    fs::create_directories(tree.root() / "music");
    fs::copy_file(kLongTrack, tree.root() / "music/a.mp3");
    int silent = -1;
    pid_t stopped = 0;
    const std::pair<std::function<void()>, std::function<void()>> servers[] = {
        {[&] {
             fs::create_directories(dir);
             silent = silentSocket(dir / "native");
         },
         [&] {
             ::close(silent);
             fs::remove(dir / "native");
             ASSERT_EQ(std::system((kPulse + "start " + dir.string() + " >/dev/null").c_str()), 0);
         }},
        {[&] {
             ASSERT_EQ(std::system((kPulse + "start " + dir.string() + " >/dev/null").c_str()), 0);
             std::ifstream(dir / "pid") >> stopped;
             ASSERT_GT(stopped, 0);
             ::kill(stopped, SIGSTOP);
         },
         [&] { ::kill(stopped, SIGCONT); }},
    };
    for (const auto& [silence, answer] : servers) {
        silence();
        auto player = startPlayer(
            tree.root(), {.env = {"SDL_AUDIODRIVER=", "PULSE_SERVER=unix:" + (dir / "native").string()}});
        const auto soon = harness::Clock::now() + std::chrono::seconds(10);
        player->write("music\ntime\n");
        EXPECT_TRUE(player->waitFor(" / 0 min 15 sec\n", soon));
        while (player->errors().find("does not answer") == std::string::npos && harness::Clock::now() < soon)
            player->readSome(50);
        EXPECT_NE(player->errors().find("the sound server does not answer"), std::string::npos)
            << player->errors();
        answer();
        EXPECT_TRUE(playsOn(dir)) << "no stream of the player on the server that answers";
        player->write("exit\n");
        EXPECT_EQ(player->wait(harness::Clock::now() + std::chrono::seconds(10)).status, 1);
        if (stopped > 0) ::kill(stopped, SIGCONT);  // a stopped server would never end
        std::system((kPulse + "stop " + dir.string()).c_str());
    }
}

}  // namespace
