// A playback stream of the sound server (PulseAudio, or PipeWire's pulse server) as the output's
// sink. The stream holds a second and asks for a quarter of one at a time, so its thread wakes
// about four times a second; every change of what plays takes back what it had queued, so that
// nothing queued is heard after the change.
#pragma once

#include "audio/posix/sink.h"

namespace sound {

// Connects to the server PULSE_SERVER names, or the user's; never starts one. Fills sink and
// returns true once the stream is ready; false, quietly, when no server answers within a second.
// A server that goes away later is tried again, and resync is called (on the stream's thread,
// locked) when the sound plays on after it came back or after the server stalled.
bool openPulseSink(QuavelinRender render, QuavelinResync resync, QuavelinSink& sink);

}  // namespace sound
