// The player's side of the sound service: the libmpg123, libsoxr, libpulse and SDL2 service lives in a
// module of its own (quavelin-sound.so), loaded on a thread that starts with the player. Linked
// directly, those libraries and the fifty more that Debian's SDL2 brings would all load before
// main, and the first prompt would wait for them; loaded here, they load while it is shown. The
// first call that needs the sound service waits for the load to finish. Without the module the
// player still runs, silently, and says so once.
#include <array>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "audio/posix/service.h"
#include "platform/posix/own_module.h"

namespace {

// Plain values only (the process may end while the loading thread still runs): the module's
// table, null when it could not be loaded, published by `loaded` turning true.
const SoundService* module = nullptr;
std::atomic<bool> loaded{false};
std::array<char, 512> failure{};  // why the module could not be loaded; read once loaded is true

void setFailure(const std::string& reason) {
    std::snprintf(failure.data(), failure.size(), "%s", reason.c_str());
}

void load() {
    std::string reason;
    if (auto entry = reinterpret_cast<QuavelinSoundEntry>(
            platform::ownModuleEntry(sound::kModuleFileName, sound::kModuleEntry, reason)))
        module = entry();
    else
        setFailure(reason);
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
                               [] {},
                               [] { return -1.0; },
                               [](double) {}};

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
