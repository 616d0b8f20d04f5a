#include "tests/e2e/run_player.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/harness/child_process.h"

namespace e2e {
namespace fs = std::filesystem;

TempTree::TempTree() : TempTree(fs::temp_directory_path()) {}

TempTree::TempTree(const fs::path& base) {
    std::string pattern = (base / "quavelin-e2e-XXXXXX").string();
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

void TempTree::addDirectory(const fs::path& relative) const { fs::create_directories(root_ / relative); }

namespace {

// Feeds the steps to the player on a thread of its own, so that a large input and the player's
// output can't block each other through the pipes.
class InputWriter {
public:
    InputWriter(harness::Child& player, const std::vector<InputStep>& steps)
        : player_(player), steps_(steps) {}

    void start() {
        thread_ = std::thread([this] { writeAll(); });
    }

    // The output as read so far; wakes a step that waits for it.
    void outputGrew(const std::string& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        out_.append(out, out_.size());
        changed_.notify_all();
    }
    // No more output will come: a step still waiting gives up.
    void outputEnded() {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    void writeAll() {
        std::size_t searchFrom = 0;
        for (const InputStep& step : steps_) {
            if (!step.waitFor.empty()) {
                std::unique_lock<std::mutex> lock(mutex_);
                std::size_t at = std::string::npos;
                changed_.wait(lock, [&] {
                    at = out_.find(step.waitFor, searchFrom);
                    return at != std::string::npos || ended_;
                });
                if (at == std::string::npos) break;
                searchFrom = at + step.waitFor.size();
            }
            if (step.action) step.action();
            if (!player_.write(step.text)) break;  // it no longer reads: it has ended
        }
        player_.closeInput();  // the input ends after the text
    }

    harness::Child& player_;
    const std::vector<InputStep>& steps_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string out_;
    bool ended_ = false;
};

std::vector<std::string> environment(const std::vector<std::string>& env) {
    std::vector<std::string> kept = {"LC_ALL=C", "SDL_AUDIODRIVER=dummy"};
    for (const char* name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) kept.push_back(std::string(name) + "=" + value);
    return harness::environmentWith(kept, env);
}

// The player, or a program that runs it (QUAVELIN_E2E_WRAPPER: its words, blank-separated, e.g.
// valgrind and its options), then the arguments.
std::vector<std::string> command(const fs::path& player, const std::vector<std::string>& arguments) {
    std::vector<std::string> words;
    if (const char* wrapper = std::getenv("QUAVELIN_E2E_WRAPPER")) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;) words.push_back(word);
    }
    words.push_back(player.string());
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

Run runSteps(const fs::path& player, const fs::path& workdir, const std::vector<InputStep>& steps,
             const std::vector<std::string>& env, int timeoutSeconds,
             const std::vector<std::string>& arguments = {}) {
    // Under a wrapper the player is given ten times as long.
    if (std::getenv("QUAVELIN_E2E_WRAPPER") != nullptr) timeoutSeconds *= 10;
    harness::Child child(command(player, arguments), workdir.string(), environment(env));
    InputWriter writer(child, steps);
    writer.start();
    auto deadline = harness::Clock::now() + std::chrono::seconds(timeoutSeconds);
    while (harness::Clock::now() < deadline && child.readSome(50)) writer.outputGrew(child.output());
    writer.outputEnded();
    harness::Usage usage = child.wait(deadline);
    // Gone, the player no longer holds its end of the input: a blocked write fails and the
    // writer ends.
    writer.join();
    return {child.output(), child.errors(), usage.status, usage.timedOut};
}

}  // namespace

Run runPlayer(const fs::path& workdir, const std::string& input, const std::vector<std::string>& env,
              int timeoutSeconds) {
    return runPlayer(workdir, std::vector<InputStep>{{"", {}, input}}, env, timeoutSeconds);
}

Run runPlayer(const fs::path& workdir, const std::vector<InputStep>& steps,
              const std::vector<std::string>& env, int timeoutSeconds) {
    return runSteps(QUAVELIN_BINARY, workdir, steps, env, timeoutSeconds);
}

Run runPlayerWithArguments(const std::vector<std::string>& arguments, const fs::path& workdir,
                           const std::string& input) {
    return runSteps(QUAVELIN_BINARY, workdir, std::vector<InputStep>{{"", {}, input}}, {}, 20, arguments);
}

std::unique_ptr<harness::Child> startPlayer(const fs::path& workdir) {
    return std::make_unique<harness::Child>(command(QUAVELIN_BINARY, {}), workdir.string(), environment({}));
}

Run runPlayerBinary(const fs::path& binary, const fs::path& workdir, const std::string& input,
                    const std::vector<std::string>& env, int timeoutSeconds) {
    return runSteps(binary, workdir, std::vector<InputStep>{{"", {}, input}}, env, timeoutSeconds);
}

}  // namespace e2e
