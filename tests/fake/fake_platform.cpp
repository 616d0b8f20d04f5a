#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>

#include "audio/sound_service.h"
#include "platform/name_match.h"
#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace fake {
namespace {

// The virtual clock's start (calendar seconds), far from 0 so that no stamp is mistaken for "not
// paused".
constexpr std::int64_t kEpochSeconds = 1'700'000'000;

// Typed text and bus calls, each with the virtual time it comes at.
using Piece = std::pair<std::int64_t, std::string>;
using BusCall = std::pair<std::int64_t, platform::bus::Call>;

struct World {
    std::int64_t ms = 0;
    std::deque<Piece> typed;
    std::deque<BusCall> busCalls;
    std::vector<platform::bus::Status> shown;
    std::string out;
    std::vector<int> randoms;
    std::size_t nextRandom = 0;
    std::map<std::string, bool> tree;  // every path, and whether it is a directory
    std::string cwd = "/";
    std::vector<DeviceCall> calls;
    std::map<std::string, std::uint32_t> lengths;
    std::optional<std::pair<std::uint32_t, std::int64_t>> estimate;  // the length, and until when
    std::string openFile;                                            // empty while none is open
    std::string queuedFile;                                          // empty while none is queued
    // The device's account of its sound, when a test asks for one: it runs soundLagMs behind
    // the clock, and ends at soundEndsAtMs (nothing while paused or closed).
    std::optional<std::int64_t> soundLagMs;
    std::optional<std::int64_t> soundEndsAtMs;
    std::int64_t soundLeftMs = 0;                                // what was left of it at the pause
    double volume = -1;                                          // the output's own; none
    std::vector<std::pair<std::int64_t, double>> volumeChanges;  // made from elsewhere, at a time
    platform::detail::InputBuffer input{};
};

World world;

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Resolves path against the current directory; empty when it does not exist (or is empty, as
// chdir would have it). Like a path on paper, ".." undoes the name before it whether that exists
// or not.
std::string resolve(const std::string& path) {
    if (path.empty()) return "";
    std::string at =
        std::filesystem::path(path.starts_with('/') ? path : world.cwd + "/" + path).lexically_normal();
    if (at.size() > 1 && at.ends_with('/')) at.pop_back();
    return world.tree.contains(at) ? at : "";
}

void record(const char* what, std::uint32_t fromMs = 0, double volume = 0) {
    world.calls.push_back({world.ms, what, world.openFile, fromMs, volume});
}

}  // namespace

void reset() {
    world = World{};
    world.tree["/"] = true;
}

void typeAt(std::int64_t atMs, const std::string& text) { world.typed.push_back({atMs, text}); }

const std::string& output() { return world.out; }

void callAt(std::int64_t atMs, const platform::bus::Call& call) { world.busCalls.push_back({atMs, call}); }
const std::vector<platform::bus::Status>& shown() { return world.shown; }

void setRandom(std::vector<int> values) {
    world.randoms = std::move(values);
    world.nextRandom = 0;
}

void addDirectory(const std::string& path) {
    if (path != "/") addDirectory(parentOf(path));
    world.tree[path] = true;
}
void addFile(const std::string& path) {
    addDirectory(parentOf(path));
    world.tree[path] = false;
}

const std::vector<DeviceCall>& deviceCalls() { return world.calls; }
void setLengthMs(const std::string& name, std::uint32_t ms) { world.lengths[name] = ms; }
void setEstimate(std::uint32_t estimateMs, std::int64_t untilMs) { world.estimate = {estimateMs, untilMs}; }
void setSoundLagMs(std::int64_t ms) { world.soundLagMs = ms; }
void setOutputVolume(double volume, std::int64_t atMs) { world.volumeChanges.emplace_back(atMs, volume); }

}  // namespace fake

// ---- The platform layer, on the fake world ----
namespace platform {

using fake::world;

std::int64_t clockSeconds() { return fake::kEpochSeconds + world.ms / 1000; }
std::int64_t clockMs() { return world.ms; }

void seedRandom(std::uint32_t) {}
int randomNumber() { return world.nextRandom < world.randoms.size() ? world.randoms[world.nextRandom++] : 0; }

void writeText(std::string_view utf8) { world.out.append(utf8); }
void writeBytes(std::string_view bytes) { world.out.append(bytes); }
void flushOutput() {}

int findNames(NamePattern pattern, std::span<NameSlot> out) {
    NameCollector collector(pattern, out);
    collector.offer(".");
    if (world.cwd != "/") collector.offer("..");
    for (const auto& [path, isDirectory] : world.tree)
        if (path != "/" && fake::parentOf(path) == world.cwd)
            collector.offer(path.substr(path.rfind('/') + 1));
    return collector.finish();
}

bool enterDirectory(const char* path) {
    std::string target = fake::resolve(path);
    if (target.empty() || !world.tree[target]) return false;
    world.cwd = target;
    return true;
}

std::string currentDirectory() { return world.cwd; }

void writeError(std::string_view utf8) { world.out.append(utf8); }

namespace detail {

InputBuffer& inputBuffer() { return world.input; }

std::size_t stdinRead(char* buf, std::size_t size) {
    if (world.typed.empty()) return 0;
    auto& [atMs, text] = world.typed.front();
    world.ms = std::max(world.ms, atMs);  // the read waits for the user
    std::size_t n = std::min(size, text.size());
    std::copy_n(text.data(), n, buf);
    text.erase(0, n);
    if (text.empty()) world.typed.pop_front();
    return n;
}

bool stdinWait(int timeoutMs) {
    if (world.typed.empty()) return true;  // the end of input is ready at once
    std::int64_t typed = world.typed.front().first;
    if (typed <= world.ms) return true;
    std::int64_t called =
        world.busCalls.empty() ? std::numeric_limits<std::int64_t>::max() : world.busCalls.front().first;
    std::int64_t next = std::min(typed, called);
    if (next > world.ms + timeoutMs) {
        world.ms += timeoutMs;
        return false;
    }
    world.ms = std::max(world.ms, next);
    // A call that comes first, or with the typed text, ends the wait with nothing read: the text
    // then waits, unread, beside the call.
    return typed < called;
}

}  // namespace detail

// ---- The desktop bus, scripted ----
namespace bus {

void open() {}
void close() {}
void publish(const Status& status) { world.shown.push_back(status); }
bool callWaiting() { return !world.busCalls.empty() && world.busCalls.front().first <= world.ms; }
bool takeCall(Call& call) {
    if (!callWaiting()) return false;
    call = world.busCalls.front().second;
    world.busCalls.pop_front();
    return true;
}
int wakeDescriptor() { return -1; }

}  // namespace bus
}  // namespace platform

// ---- The sound service, recorded ----
namespace fake {
namespace {

// A name opens when it is a file, not a directory.
bool opens(const char* elementName) {
    const std::string path = resolve(elementName);
    return !path.empty() && !world.tree[path];
}

int open(const char* elementName) {
    const bool opened = opens(elementName);
    world.openFile = opened ? elementName : "";
    world.calls.push_back({world.ms, "open", elementName, 0});
    return opened ? 1 : 0;
}

std::uint32_t lengthOf(const std::string& name) {
    auto known = world.lengths.find(name);
    return known == world.lengths.end() ? 180'000u : known->second;
}

void play(std::uint32_t fromMs) {
    record("play", fromMs);
    world.soundEndsAtMs = world.ms + world.soundLagMs.value_or(0) + lengthOf(world.openFile) - fromMs;
}
void pause() {
    record("pause");
    if (world.soundEndsAtMs) world.soundLeftMs = *world.soundEndsAtMs - world.ms;
    world.soundEndsAtMs.reset();
}
void resume() {
    record("resume");
    world.soundEndsAtMs = world.ms + world.soundLeftMs;
}
void close() {
    record("close");
    world.openFile.clear();
    world.soundEndsAtMs.reset();
}

bool estimating() { return world.estimate && world.ms < world.estimate->second; }

std::uint32_t lengthMs() {
    record("length");
    if (estimating() && !world.openFile.empty()) return world.estimate->first;
    return world.openFile.empty() ? 0 : lengthOf(world.openFile);
}

int lengthIsExact() { return estimating() ? 0 : 1; }

int queue(const char* elementName) {
    world.queuedFile = opens(elementName) ? elementName : "";
    world.calls.push_back({world.ms, "queue", elementName, 0});
    return world.queuedFile.empty() ? 0 : 1;
}

void withdraw() {
    record("withdraw");
    world.queuedFile.clear();
}

int advance() {
    if (world.queuedFile.empty()) return 0;
    world.openFile = world.queuedFile;
    world.queuedFile.clear();
    record("advance");
    // Joined: its sound begins where the one before it ended.
    world.soundEndsAtMs = world.soundEndsAtMs.value_or(world.ms) + lengthOf(world.openFile);
    return 1;
}

std::int64_t msUntilEnd() {
    if (!world.soundLagMs || !world.soundEndsAtMs) return -1;
    return std::max<std::int64_t>(0, *world.soundEndsAtMs - world.ms);
}
void finish() { record("finish"); }

double volume() {
    std::erase_if(world.volumeChanges, [](const auto& change) {
        if (change.first > world.ms) return false;
        world.volume = change.second;
        return true;
    });
    return world.volume;
}
void setVolume(double volume) {
    record("volume", 0, volume);
    world.volume = volume;
}

constexpr SoundService kRecorder{open,  play,     pause,   resume,     close,  lengthMs, lengthIsExact,
                                 queue, withdraw, advance, msUntilEnd, finish, volume,   setVolume};

}  // namespace
}  // namespace fake

void prepareSoundService() {}
const SoundService& soundService() { return fake::kRecorder; }
