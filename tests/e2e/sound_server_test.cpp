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

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

const std::string kPulse = QUAVELIN_SOURCE_DIR "/scripts/private-pulse ";

// A socket at path that takes connections into its backlog and never says a word.
class SilentSocket {
public:
    explicit SilentSocket(const fs::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 16), 0);
    }
    ~SilentSocket() { ::close(fd_); }
    SilentSocket(const SilentSocket&) = delete;
    SilentSocket& operator=(const SilentSocket&) = delete;

private:
    int fd_;
};

bool playsOn(const fs::path& server) {
    const std::string command =
        "PULSE_SERVER=unix:" + server.string() + " pactl list short sink-inputs 2>/dev/null";
    std::FILE* listed = ::popen(command.c_str(), "r");
    const bool any = listed != nullptr && std::fgetc(listed) != EOF;
    if (listed != nullptr) ::pclose(listed);
    return any;
}

// The player with a server that does not answer at dir/native; `answer` then makes a real one
// answer there.
template <typename Answer>
void playWithoutAnswer(const fs::path& dir, Answer answer) {
    TempTree tree;
    fs::create_directories(tree.root() / "music");
    fs::copy_file(kLongTrack, tree.root() / "music/a.mp3");
    auto player = startPlayer(
        tree.root(), {.env = {"SDL_AUDIODRIVER=", "PULSE_SERVER=unix:" + (dir / "native").string()}});
    const auto soon = harness::Clock::now() + std::chrono::seconds(10);
    player->write("music\n");
    ASSERT_TRUE(player->waitFor(prompt("a"), soon));
    player->write("time\n");
    ASSERT_TRUE(player->waitFor(" / 0 min 15 sec\n", soon));
    // It says so once it has waited its while; then the server answers.
    while (player->errors().find("the sound server does not answer") == std::string::npos &&
           harness::Clock::now() < soon)
        player->readSome(50);
    ASSERT_NE(player->errors().find("the sound server does not answer"), std::string::npos)
        << player->errors();
    answer();
    const auto later = harness::Clock::now() + std::chrono::seconds(10);
    while (!playsOn(dir / "native") && harness::Clock::now() < later)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(playsOn(dir / "native")) << "no stream of the player on the server that answers";
    player->write("exit\n");
    EXPECT_EQ(player->wait(harness::Clock::now() + std::chrono::seconds(10)).status, 1);
}

TEST(EndToEndSoundServer, OneThatTakesTheConnectionAndNeverAnswersHoldsNothingUp) {
    TempTree servers;
    const fs::path dir = servers.root() / "pulse";
    fs::create_directories(dir);
    auto silent = std::make_unique<SilentSocket>(dir / "native");
    playWithoutAnswer(dir, [&] {
        silent.reset();
        fs::remove(dir / "native");
        ASSERT_EQ(std::system((kPulse + "start " + dir.string() + " >/dev/null").c_str()), 0);
    });
    std::system((kPulse + "stop " + dir.string()).c_str());
}

TEST(EndToEndSoundServer, OneStoppedBySigstopHoldsNothingUp) {
    TempTree servers;
    const fs::path dir = servers.root() / "pulse";
    ASSERT_EQ(std::system((kPulse + "start " + dir.string() + " >/dev/null").c_str()), 0);
    pid_t server = 0;
    std::ifstream(dir / "pid") >> server;
    ASSERT_GT(server, 0);
    ::kill(server, SIGSTOP);
    playWithoutAnswer(dir, [&] { ::kill(server, SIGCONT); });
    ::kill(server, SIGCONT);
    std::system((kPulse + "stop " + dir.string()).c_str());
}

}  // namespace
