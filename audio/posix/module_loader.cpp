// The player's side of the sound service: the libmpg123, libsoxr, libpulse and SDL2 service lives in a
// module of its own (quavelin-sound.so), loaded on a thread that starts with the player. Linked
// directly, those libraries and the fifty more that Debian's SDL2 brings would all load before
// main, and the first prompt would wait for them; loaded here, they load while it is shown. The
// first call that needs the sound service waits for the load to finish. Without the module the
// player still runs, silently, and says so once.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "audio/posix/service.h"

namespace {

// Plain values only (the process may end while the loading thread still runs): the module's
// table, null when it could not be loaded, published by `loaded` turning true.
const SoundService* module = nullptr;
std::atomic<bool> loaded{false};
std::array<char, 512> failure{};  // why the module could not be loaded; read once loaded is true

void setFailure(const std::string& reason) {
    std::snprintf(failure.data(), failure.size(), "%s", reason.c_str());
}

// The directory of the running binary, with its trailing '/'; empty when it can't be told.
std::string binaryDirectory() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string found;
    if (length > 0) {
        found.assign(path, static_cast<std::size_t>(length));
    } else {
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(&binaryDirectory), &info) != 0 && info.dli_fname != nullptr)
            found = info.dli_fname;
    }
    std::size_t slash = found.rfind('/');
    return slash == std::string::npos ? std::string() : found.substr(0, slash + 1);
}

// Next to the binary first (the build tree), then where an installation puts it, relative to the
// binary so that any prefix works.
void load() {
    std::string directory = binaryDirectory();
    void* handle = nullptr;
    setFailure(std::string(sound::kModuleFileName) + " not found");
    for (const char* place : {"", QUAVELIN_SOUND_MODULE_FROM_BINARY}) {
        std::string path = directory + place + sound::kModuleFileName;
        if (directory.empty() || ::access(path.c_str(), F_OK) != 0) continue;
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) break;
        const char* reason = ::dlerror();
        setFailure(reason != nullptr ? reason : path + " could not be loaded");
    }
    if (handle != nullptr) {
        if (auto entry = reinterpret_cast<QuavelinSoundEntry>(::dlsym(handle, sound::kModuleEntry)))
            module = entry();
        else
            setFailure(std::string(sound::kModuleFileName) + " lacks its entry point");
    }
    loaded.store(true, std::memory_order_release);
    loaded.notify_all();
}

// Without the module: nothing opens, and the player keeps its time in silence.
constexpr SoundService kSilent{[](const char*) { return 0; },
                               [](std::uint32_t) {},
                               [] {},
                               [] {},
                               [] {},
                               [] { return std::uint32_t{0}; },
                               [] { return 1; },
                               [](const char*) { return 0; },
                               [] {},
                               [] { return 0; },
                               [] { return std::int64_t{-1}; },
                               [] {}};

}  // namespace

void prepareSoundService() {
    try {
        std::thread(load).detach();
    } catch (...) {
        load();  // no thread to be had: load now
    }
}

const SoundService& soundService() {
    loaded.wait(false, std::memory_order_acquire);
    if (module != nullptr) return *module;
    std::fprintf(stderr, "quavelin: no sound (%s); tracks play silently.\n", failure.data());
    return kSilent;
}
