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

SinkChoice serverSink(const QuavelinSink& sink) {
    SinkChoice choice;
    choice.sink = sink;
    choice.keepsFrames = true;
    return choice;
}

}  // namespace

SinkChoice openSink(QuavelinRender render, QuavelinResync resync, QuavelinRestart restart) {
    QuavelinSink sink{};
    const PulseAnswer server =
        sdlAskedFor() ? PulseAnswer::None : openPulseSink(render, resync, restart, sink);
    if (server == PulseAnswer::Ready) return serverSink(sink);
    // A server that does not answer is not handed to another of its clients (SDL's own, or ALSA's
    // plugin for it, ALSA's default on a desktop), which would wait on it without end: SDL's
    // silent output keeps the time until the server answers.
    SinkChoice choice;
    choice.serverSilent = server == PulseAnswer::Silent;
    const int sdl = openSdlSink(render, choice.sink, choice.serverSilent);
    if (choice.serverSilent)
        std::fputs("quavelin: the sound server does not answer; tracks play silently until it does.\n",
                   stderr);
    else if (sdl != 1)
        std::fputs("quavelin: no usable sound device; tracks play silently.\n", stderr);
    choice.silent = sdl == 2;
    choice.bufferFrames = kBufferFrames;
    return choice;
}

std::optional<SinkChoice> openServerSink(QuavelinRender render, QuavelinResync resync,
                                         QuavelinRestart restart) {
    QuavelinSink sink{};
    if (openPulseSink(render, resync, restart, sink) != PulseAnswer::Ready) return std::nullopt;
    std::fputs("quavelin: the sound server is back.\n", stderr);
    return serverSink(sink);
}

}  // namespace sound
