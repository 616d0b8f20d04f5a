// SDL's sink linked into the same program (the tests' and benchmarks' build of the backend).
#include "audio/posix/sink.h"

extern "C" int quavelin_open_sdl_sink(QuavelinRender render, QuavelinSink* sink, int silentOnly);

namespace sound {

int openSdlSink(QuavelinRender render, QuavelinSink& sink, bool silentOnly) {
    return quavelin_open_sdl_sink(render, &sink, silentOnly ? 1 : 0);
}

}  // namespace sound
