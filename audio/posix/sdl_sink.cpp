// SDL's audio device as the output's sink, used where no sound server answers and wherever
// SDL_AUDIODRIVER names a driver, at the device's own rate where SDL can tell it. Its audio thread
// renders into SDL's buffer; nothing queued can be taken back, and where the sound is heard is not
// known, so a change is heard from the next buffer on.
#include <SDL.h>

#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"
#include "audio/posix/sink.h"

namespace {

// Plain values only: the process may end through std::exit while the audio thread runs.
SDL_AudioDeviceID device = 0;
int rate = sound::kDefaultRate;
QuavelinRender renderFrames = nullptr;
std::int64_t rendered = 0;  // frames rendered into the device

// SDL's buffer is float-aligned: frames are rendered into it directly.
void SDLCALL renderCallback(void*, Uint8* out, int bytes) {
    const auto frames = static_cast<std::size_t>(bytes / sound::kBytesPerFrame);
    renderFrames(reinterpret_cast<float*>(out), frames);
    rendered += static_cast<std::int64_t>(frames);
}

// Opens the output on the driver SDL picks (SDL_AUDIODRIVER and SDL's other variables decide), at
// the rate of its default device where SDL knows one.
SDL_AudioDeviceID openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec wanted{};
    SDL_AudioSpec preferred{};
    wanted.freq = SDL_GetDefaultAudioInfo(nullptr, &preferred, 0) == 0 && preferred.freq > 0
                      ? preferred.freq
                      : sound::kDefaultRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = sound::kChannels;
    wanted.samples = sound::kBufferFrames;
    wanted.callback = renderCallback;
    // Only the rate may be another: SDL converts the rest, and the output's format is fixed.
    SDL_AudioSpec obtained{};
    SDL_AudioDeviceID id =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    rate = obtained.freq > 0 ? obtained.freq : wanted.freq;
    return id;
}

void lock() { SDL_LockAudioDevice(device); }
void unlock() { SDL_UnlockAudioDevice(device); }

QuavelinPlayhead playhead(int) { return {-1, rendered}; }
void takeBackFrom(std::int64_t) {}
// The device's volume is the system's: the player offers none of its own here.
double volume() { return -1; }
void setVolume(double) {}
void close() { SDL_CloseAudioDevice(device); }

// The device opens paused and starts only once a track is set to play: started earlier, its
// first buffer would be silence. Starting a running device changes nothing.
void start() { SDL_PauseAudioDevice(device, 0); }

}  // namespace

extern "C" __attribute__((visibility("default"))) int quavelin_open_sdl_sink(QuavelinRender render,
                                                                             QuavelinSink* sink,
                                                                             int silentOnly) {
    renderFrames = render;
    // SIGINT, SIGTERM and SIGHUP keep their default action: the player ends at once.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "quavelin");
    bool silent = false;
    {
        sound::QuietStderr quiet;
        if (silentOnly != 0) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        device = openDevice();
        silent = silentOnly != 0;
        if (device == 0) {
            // SDL's dummy output keeps real time, so tracks still take as long as they last.
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            device = openDevice();
            silent = true;
        }
    }
    // The output opens its sink on a thread that ends once it is open: what SDL keeps for this
    // thread alone (its last error) goes with it.
    SDL_TLSCleanup();
    if (device == 0) return 0;
    *sink = QuavelinSink{rate, lock, unlock, playhead, takeBackFrom, start, volume, setVolume, close};
    return silent ? 2 : 1;
}
