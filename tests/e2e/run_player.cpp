#include "tests/e2e/run_player.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace fs = std::filesystem;

TempTree::TempTree() {
    std::string pattern = (fs::temp_directory_path() / "quavelin-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempTree::~TempTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void TempTree::addFile(const fs::path& relative) const {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative).flush();
}

std::unique_ptr<harness::Child> startPlayer(const fs::path& workdir, const Options& options) {
    // The player's own environment, one entry a name (getenv takes the first entry of a name, wine
    // the last): the test's own entries come first and win.
    std::vector<std::string> env, command;
    auto add = [&env](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(env.begin(), env.end(), [&](const std::string& e) { return e.starts_with(name); }))
            env.push_back(entry);
    };
    for (const std::string& entry : options.env) add(entry);
    for (const char* entry : {"LC_ALL=C", "SDL_AUDIODRIVER=dummy"}) add(entry);
    for (const char* name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) add(std::string(name) + "=" + value);
    command = options.wrapper;
    const char* wrapperVariable = std::getenv("QUAVELIN_E2E_WRAPPER");
    std::istringstream wrapper(command.empty() && wrapperVariable != nullptr ? wrapperVariable : "");
    for (std::string word; wrapper >> word;) command.push_back(word);
    command.push_back(options.binary.string());
    command.insert(command.end(), options.arguments.begin(), options.arguments.end());
    return std::make_unique<harness::Child>(command, workdir.string(), env, options.inputClosed);
}

Run runPlayer(const fs::path& workdir, const std::string& input, const Options& options) {
    std::unique_ptr<harness::Child> player = startPlayer(workdir, options);
    // Once the player has ended, a blocked write fails and the writer ends.
    std::thread writer([&] {
        player->write(input);
        player->closeInput();
    });
    // Under a wrapper the player is given ten times as long.
    const bool wrapped = !options.wrapper.empty() || std::getenv("QUAVELIN_E2E_WRAPPER") != nullptr;
    const int seconds = wrapped ? 200 : 20;
    harness::Ended ended = player->wait(harness::Clock::now() + std::chrono::seconds(seconds));
    writer.join();
    return {player->output(), player->errors(), ended.status};
}

}  // namespace e2e
