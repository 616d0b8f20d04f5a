#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <deque>
#include <map>
#include <sstream>

#include "audio/backend.h"
#include "audio/device.h"
#include "platform/name_match.h"
#include "platform/platform.h"
#include "platform/stdin_source.h"

namespace fake {
namespace {

struct Piece {
    std::int64_t atMs;
    std::string text;
};

struct Node {
    bool isDirectory = false;
    bool searchable = true;
};

struct World {
    std::int64_t ms = 0;
    std::deque<Piece> input;
    std::string out;
    std::string err;
    std::vector<int> randoms;
    std::size_t nextRandom = 0;
    std::uint32_t seed = 0;
    std::map<std::string, Node> tree;
    std::string cwd = "/";
    std::vector<DeviceCall> calls;
    std::map<std::string, std::uint32_t> lengths;
    std::map<std::uint32_t, std::string> openFiles;
    std::uint32_t nextId = 1;
};

World world;

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string childPath(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Resolves path against the current directory; empty when a component does not exist.
std::string resolve(const std::string& path) {
    std::string at = (!path.empty() && path[0] == '/') ? "/" : world.cwd;
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            at = parentOf(at);
            continue;
        }
        at = childPath(at, part);
        auto node = world.tree.find(at);
        if (node == world.tree.end()) return "";
    }
    return at;
}

void record(const char* what, std::uint32_t id, std::uint32_t fromMs = 0) {
    std::string name = world.openFiles.count(id) ? world.openFiles[id] : "";
    world.calls.push_back({world.ms, what, id, name, "", fromMs});
}

}  // namespace

void reset() {
    closeDevice();  // the device layer forgets its open device; the call itself is forgotten below
    world = World{};
    world.tree["/"] = Node{true, true};
    platform::detail::resetInput();
}

std::int64_t nowMs() { return world.ms; }
void advanceMs(std::int64_t ms) { world.ms += ms; }

void typeAt(std::int64_t atMs, const std::string& text) {
    Piece piece{atMs, text};
    auto later = std::upper_bound(world.input.begin(), world.input.end(), piece,
                                  [](const Piece& a, const Piece& b) { return a.atMs < b.atMs; });
    world.input.insert(later, piece);
}
void type(const std::string& text) { typeAt(world.ms, text); }

const std::string& output() { return world.out; }
const std::string& errors() { return world.err; }
void clearOutput() { world.out.clear(); }

void setRandom(std::vector<int> values) {
    world.randoms = std::move(values);
    world.nextRandom = 0;
}
std::uint32_t lastSeed() { return world.seed; }

void addDirectory(const std::string& path) {
    if (path != "/") addDirectory(parentOf(path));
    world.tree[path].isDirectory = true;
}
void addFile(const std::string& path) {
    addDirectory(parentOf(path));
    world.tree[path] = Node{false, true};
}
void makeUnsearchable(const std::string& path) { world.tree[path].searchable = false; }
std::string currentDirectory() { return world.cwd; }

const std::vector<DeviceCall>& deviceCalls() { return world.calls; }
void setLengthMs(const std::string& name, std::uint32_t ms) { world.lengths[name] = ms; }

std::vector<std::string> plays() {
    std::vector<std::string> result;
    for (const DeviceCall& call : world.calls)
        if (call.what == "play" && !call.name.empty())
            result.push_back(call.name + "@" + std::to_string(call.fromMs / 1000));
    return result;
}

}  // namespace fake

// ---- The platform layer, on the fake world ----
namespace platform {

using fake::world;

std::int64_t clockSeconds() { return fake::kEpochSeconds + world.ms / 1000; }
std::int64_t clockMs() { return world.ms; }

void seedRandom(std::uint32_t seed) { world.seed = seed; }
int randomNumber() {
    if (world.nextRandom < world.randoms.size()) return world.randoms[world.nextRandom++];
    return 0;
}

void writeText(std::string_view utf8) { world.out.append(utf8); }
void writeBytes(std::string_view bytes) { world.out.append(bytes); }
void flushOutput() {}

int findNames(NamePattern pattern, std::span<NameSlot> out) {
    auto dir = world.tree.find(world.cwd);
    if (dir == world.tree.end() || !dir->second.searchable) return -1;
    NameCollector collector(pattern, out);
    collector.offer(".");
    if (world.cwd != "/") collector.offer("..");
    std::string prefix = world.cwd == "/" ? "/" : world.cwd + "/";
    for (auto it = world.tree.lower_bound(prefix); it != world.tree.end(); ++it) {
        const std::string& path = it->first;
        if (path.compare(0, prefix.size(), prefix) != 0) break;
        std::string rest = path.substr(prefix.size());
        if (rest.empty() || rest.find('/') != std::string::npos) continue;
        collector.offer(rest);
    }
    return collector.finish();
}

bool enterDirectory(const char* path) {
    std::string target = fake::resolve(path);
    if (target.empty() || !world.tree[target].isDirectory) return false;
    world.cwd = target;
    return true;
}

std::string currentDirectory() { return world.cwd; }

void writeError(std::string_view utf8) { world.err.append(utf8); }

namespace detail {

std::size_t stdinRead(char* buf, std::size_t size) {
    if (world.input.empty()) return 0;
    fake::Piece& next = world.input.front();
    if (next.atMs > world.ms) world.ms = next.atMs;  // the read waits for the user
    std::size_t n = std::min(size, next.text.size());
    std::copy_n(next.text.data(), n, buf);
    next.text.erase(0, n);
    if (next.text.empty()) world.input.pop_front();
    return n;
}

bool stdinWait(int timeoutMs) {
    if (world.input.empty()) return true;  // the end of input is ready at once
    std::int64_t arrives = world.input.front().atMs;
    if (arrives > world.ms + timeoutMs) {
        world.ms += timeoutMs;
        return false;
    }
    world.ms = std::max(world.ms, arrives);
    return true;
}

}  // namespace detail
}  // namespace platform

// ---- The sound service, recorded ----
namespace backend {

using fake::world;

DeviceId open(Format format, const char* elementName) {
    const char* formatName = format == Format::Wave ? "wave" : "mpeg";
    std::string path = fake::resolve(elementName);
    DeviceId id = 0;
    if (!path.empty() && !world.tree[path].isDirectory) {
        id = world.nextId++;
        world.openFiles[id] = elementName;
    }
    world.calls.push_back({world.ms, "open", id, elementName, formatName, 0});
    return id;
}

void play(DeviceId id, std::uint32_t fromMs) { fake::record("play", id, fromMs); }
void pause(DeviceId id) { fake::record("pause", id); }
void resume(DeviceId id) { fake::record("resume", id); }
void close(DeviceId id) {
    fake::record("close", id);
    world.openFiles.erase(id);
}

bool lengthMs(DeviceId id, std::uint32_t& milliseconds) {
    fake::record("length", id);
    auto file = world.openFiles.find(id);
    if (file == world.openFiles.end()) return false;
    auto known = world.lengths.find(file->second);
    milliseconds = known == world.lengths.end() ? 180'000u : known->second;
    return true;
}

}  // namespace backend
