// A playback stream of the sound server (PulseAudio, or PipeWire's pulse server) as the output's
// sink. The stream holds a second and asks for a quarter of one at a time, so its thread wakes
// about four times a second; a pause corks it, and a change of what plays flushes it, so that
// nothing queued is heard after the change.
#pragma once

#include "audio/posix/sink.h"

namespace sound {

// Connects to the server PULSE_SERVER names, or the user's; never starts one. Fills sink and
// returns true once the stream is ready; false at once, quietly, when no server answers.
bool openPulseSink(QuavelinRender render, QuavelinSink& sink);

}  // namespace sound
