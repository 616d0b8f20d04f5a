// The sink the output plays into, chosen once, on a thread of its own (see output.cpp): the sound
// server's stream where one answers and no SDL_AUDIODRIVER is set, SDL's output otherwise. The
// tests put a sink of their own here, whose timing they script.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/posix/sink.h"

namespace sound {

struct SinkChoice {
    QuavelinSink sink{};            // lock is null when there is no sink at all
    bool keepsFrames = false;       // it takes back what it holds: changes reach into it
    bool silent = false;            // SDL's dummy output: it keeps time, and nothing is heard
    std::int64_t bufferFrames = 0;  // what it holds beyond what it can tell of, before it is heard
    // The sound server took the connection and did not answer: the sink is SDL's silent output,
    // and the server is to be tried again (openServerSink).
    bool serverSilent = false;
};

// Opens a sink; each wait on a server or a device is bounded. render fills its frames; resync and
// restart are called on its thread (sink.h).
SinkChoice openSink(QuavelinRender render, QuavelinResync resync, QuavelinRestart restart);
// The sound server's stream, where the server now answers.
std::optional<SinkChoice> openServerSink(QuavelinRender render, QuavelinResync resync,
                                         QuavelinRestart restart);

}  // namespace sound
