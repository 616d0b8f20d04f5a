#include "audio/posix/output.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"

namespace sound {
namespace {

// Plain values only: the process may end through std::exit while the audio thread runs, and
// nothing the thread reads may be destroyed under it.
SDL_AudioDeviceID device = 0;
bool openTried = false;
Track* playing = nullptr;  // read by the audio thread under SDL's device lock

void SDLCALL renderPlaying(void*, Uint8* out, int bytes) {
    if (playing != nullptr)
        playing->render(out, bytes);
    else
        std::memset(out, 0, static_cast<std::size_t>(bytes));
}

// Opens the output on the driver SDL picks (SDL_AUDIODRIVER and SDL's other variables decide).
SDL_AudioDeviceID openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec wanted{};
    wanted.freq = kRate;
    wanted.format = kFormat;
    wanted.channels = kChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = renderPlaying;
    // No changes allowed: SDL converts to whatever the device needs, and the format is fixed.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (id == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return id;
}

void ensureOpen() {
    if (openTried) return;
    openTried = true;
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "quavelin");
    bool silent = false;
    {
        QuietStderr quiet;
        device = openDevice();
        if (device == 0) {
            // SDL's dummy output keeps real time, so tracks still take as long as they last.
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            device = openDevice();
            silent = true;
        }
    }
    if (silent) std::fputs("quavelin: no usable sound device; tracks play silently.\n", stderr);
}

// The device opens paused and starts only once a track is set to play: started earlier, its
// first buffer would be silence.
void start() {
    static bool started = false;
    if (started || device == 0) return;
    started = true;
    SDL_PauseAudioDevice(device, 0);
}

// Holds the audio thread off for as long as it lives.
class DeviceLock {
public:
    DeviceLock() {
        if (device != 0) SDL_LockAudioDevice(device);
    }
    ~DeviceLock() {
        if (device != 0) SDL_UnlockAudioDevice(device);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
};

}  // namespace

void play(Track& track, std::uint32_t fromMs) {
    ensureOpen();
    {
        DeviceLock lock;
        track.startAt(fromMs);
        playing = &track;
    }
    start();
}

void setPaused(Track& track, bool paused) {
    DeviceLock lock;
    track.setPaused(paused);
}

void forget(Track& track) {
    DeviceLock lock;
    if (playing == &track) playing = nullptr;
}

}  // namespace sound
