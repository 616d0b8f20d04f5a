// Where the output's frames go: a playback stream of the sound server (pulse_sink.h) or, where
// none answers, SDL's audio device (sdl_sink.cpp). A table of plain C functions, so that SDL's sink
// can live in a module of its own that no C++ object crosses into.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Fills frames of output (the output format) with what plays. Called on the sink's own thread,
// with the sink locked.
using QuavelinRender = void (*)(float* out, std::size_t frames);
// Moves what plays to where the player's clock says it is: the sink plays on after a gap of its
// own (a sound server that stalled or came back). Called on the sink's thread, locked.
using QuavelinResync = void (*)();

struct QuavelinSink {
    // Holds the sink's thread off, and lets it go on.
    void (*lock)();
    void (*unlock)();
    // The following are called locked.
    // Takes back what was rendered but will not be played, the newest mostFrames at most: the next
    // frames rendered take its place. Returns the number of those frames (0 for a sink that can't
    // take anything back).
    std::int64_t (*takeBack)(std::int64_t mostFrames);
    // Plays on, rendering afresh from now.
    void (*start)();
};

// Opens SDL's output, rendering through render, and fills sink. Returns 1 for a device that is
// heard, 2 for SDL's dummy output (no device could be opened: silent, but it keeps time), 0 when
// there is no output at all.
using QuavelinOpenSdlSink = int (*)(QuavelinRender render, QuavelinSink* sink);
}

namespace sound {

// The file name of the module that holds SDL's sink, and its one entry point.
inline constexpr const char* kSdlModuleFileName = "quavelin-sound-sdl.so";
inline constexpr const char* kOpenSdlSinkName = "quavelin_open_sdl_sink";

// SDL's sink: from its module, or linked in (the tests' build). Returns as QuavelinOpenSdlSink.
int openSdlSink(QuavelinRender render, QuavelinSink& sink);

}  // namespace sound
