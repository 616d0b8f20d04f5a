// A playback stream of the sound server (PulseAudio, or PipeWire's pulse server) as the output's
// sink, at the rate of the server's sink. The stream holds a second and asks for a quarter of one
// at a time, so its thread wakes about four times a second. It tells where the sound is heard from
// the server's timing, and takes back what it holds by writing over it: PulseAudio renders again
// from there, even what its sink already holds; PipeWire's pulse server only from where it has not
// read yet.
#pragma once

#include "audio/posix/sink.h"

namespace sound {

enum class PulseAnswer {
    Ready,   // the stream is ready
    None,    // no server: nothing took the connection, or it was refused
    Silent,  // a server took the connection and did not answer in time
};

// Connects to the server PULSE_SERVER names, or the user's; never starts one. Fills sink once the
// stream is ready; quietly, each step waits a second at most. A server that goes away later is
// tried again: restart is called (on the stream's thread, locked) before the new stream plays, and
// resync when the sound plays on after the server stalled or after a new stream started late.
PulseAnswer openPulseSink(QuavelinRender render, QuavelinResync resync, QuavelinRestart restart,
                          QuavelinSink& sink);

}  // namespace sound
