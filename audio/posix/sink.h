// Where the output's frames go, and the one rule by which a change reaches them.
//
// A sink is a stream of frames in the output format at the sink's own rate: the sound server's
// playback stream (pulse_sink.h) or, where none answers, SDL's audio device (sdl_sink.cpp). Its
// thread asks the output for frames (QuavelinRender) and plays them in order; frame n of the stream
// is the n-th frame ever rendered into it. The output keeps one timeline of those frames
// (timeline.h) and asks the sink only two things: where the sound is heard now, and to take back
// what it holds from a given frame on.
//
// The rule of every change (pause, rel, a seek, a track by command, stop, the end of the run),
// written here once and carried out by output.cpp: the change starts at
//     max(heard + kWriteAheadMs, firstReplaceable),
// brought within what the output still keeps; from that frame on, what the sink would have played
// fades out from the gain it has reached (kFadeFrames), then the new sound follows. A sink that
// can't tell where the sound is heard, or can take nothing back, says firstReplaceable = the next
// frame to be rendered: the change then follows what it already holds.
//
// A table of plain C functions, so that SDL's sink can live in a module of its own that no C++
// object crosses into.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Fills frames of output with what plays next. On the sink's thread, with the sink locked.
using QuavelinRender = void (*)(float* out, std::size_t frames);
// On the sink's thread, locked: the sink plays on after a gap of its own (a server that stalled),
// and the sound is to follow the player's clock again from where it is heard.
using QuavelinResync = void (*)();
// On the sink's thread, locked, before anything is rendered into it: a new stream (the server came
// back) at rate frames a second; its frame 0 is the next frame rendered.
using QuavelinRestart = void (*)(int rate);

// Where the sink's stream stands, in its frames.
struct QuavelinPlayhead {
    std::int64_t heard;             // heard now; -1 when the sink can't tell
    std::int64_t firstReplaceable;  // the first frame the sink can still take back
};

struct QuavelinSink {
    int rate;  // frames a second of the stream, as the sink opened it
    // Holds the sink's thread off, and lets it go on.
    void (*lock)();
    void (*unlock)();
    // The following are called locked, from the player's thread.
    // Where the stream stands now. Asked (non-zero) before a change, the sink may ask its server,
    // for a bounded time; otherwise it answers from what it knows.
    QuavelinPlayhead (*playhead)(int asked);
    // What the sink holds from frame `from` on (at least firstReplaceable) is not played: the next
    // frames rendered take its place.
    void (*takeBackFrom)(std::int64_t from);
    // Plays on, asking for frames from now on.
    void (*start)();
    // The stream's own volume on its server, 0 to 1 (not the system's); negative for a sink that
    // has none. Setting it does not wait for the server.
    double (*volume)();
    void (*setVolume)(double volume);
    // Stops for good: nothing more is rendered, and the sink's thread is gone.
    void (*close)();
};

// Opens SDL's output, rendering through render, and fills sink: SDL's dummy output alone when
// silentOnly is non-zero. Returns 1 for a device that is heard, 2 for SDL's dummy output (no device
// could be opened, or none was to be: silent, but it keeps time), 0 when there is no output at all.
using QuavelinOpenSdlSink = int (*)(QuavelinRender render, QuavelinSink* sink, int silentOnly);
}

namespace sound {

// The file name of the module that holds SDL's sink, and its one entry point.
inline constexpr const char* kSdlModuleFileName = "quavelin-sound-sdl.so";
inline constexpr const char* kOpenSdlSinkName = "quavelin_open_sdl_sink";

// SDL's sink: from its module, or linked in (the tests' build). Returns as QuavelinOpenSdlSink.
int openSdlSink(QuavelinRender render, QuavelinSink& sink, bool silentOnly);

}  // namespace sound
