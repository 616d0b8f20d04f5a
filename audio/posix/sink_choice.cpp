#include "audio/posix/sink_choice.h"

#include <cstdio>
#include <cstdlib>

#include "audio/posix/output_format.h"
#include "audio/posix/pulse_sink.h"

namespace sound {
namespace {

// SDL_AUDIODRIVER asks for SDL by naming one of its drivers (the tests' dummy and disk outputs).
bool sdlAskedFor() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver != nullptr && *driver != '\0';
}

}  // namespace

SinkChoice openSink(QuavelinRender render, QuavelinResync resync, QuavelinRestart restart) {
    SinkChoice choice;
    if (!sdlAskedFor() && openPulseSink(render, resync, restart, choice.sink)) {
        choice.keepsFrames = true;
        return choice;
    }
    // Without a device SDL's dummy output is taken: it keeps real time, silently.
    const int sdl = openSdlSink(render, choice.sink);
    if (sdl != 1) std::fputs("quavelin: no usable sound device; tracks play silently.\n", stderr);
    choice.silent = sdl == 2;
    choice.bufferFrames = kBufferFrames;
    return choice;
}

}  // namespace sound
