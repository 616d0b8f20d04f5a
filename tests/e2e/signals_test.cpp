// Ctrl-C, kill and a closed terminal end the real player by their default action in every state,
// also once the sound libraries (which like to install handlers of their own) are loaded.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "tests/e2e/player_texts.h"
#include "tests/e2e/run_player.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

TEST(EndToEndSignals, EndThePlayerByTheirDefaultActionWhilePlayingPausedOrAsking) {
    TempTree tree;
    std::filesystem::copy_file(std::filesystem::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/cbr.mp3",
                               tree.root() / "a.mp3");
    // What is typed to reach each state, and what the player prints once there.
    const std::pair<std::string, std::string> states[] = {
        {"", prompt("a")}, {"p\n", prompt("a") + prompt("a")}, {"jump\n", kMinutePrompt}};
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const auto& [typed, shown] : states) {
            SCOPED_TRACE(std::to_string(signal) + " after '" + typed + "'");
            std::unique_ptr<harness::Child> player = startPlayer(tree.root());
            player->write(".\n" + typed);
            // Once the track has played a moment, the sound libraries are surely in.
            ASSERT_TRUE(player->waitFor(shown, harness::Clock::now() + 20s));
            std::this_thread::sleep_for(300ms);
            ::kill(player->pid(), signal);
            harness::Usage usage = player->wait(harness::Clock::now() + 10s);
            EXPECT_FALSE(usage.timedOut);
            EXPECT_EQ(usage.status, 128 + signal);
        }
    }
}

}  // namespace
