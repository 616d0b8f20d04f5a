// The sound module's entry point (see module_interface.h). Everything else in the module stays
// hidden.
#include "audio/backend.h"
#include "audio/posix/module_interface.h"

namespace {

std::uint32_t open(int format, const char* fileName) {
    return backend::open(static_cast<backend::Format>(format), fileName);
}

int lengthMs(std::uint32_t id, std::uint32_t* milliseconds) {
    return backend::lengthMs(id, *milliseconds) ? 1 : 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void quavelin_sound_entry(QuavelinSound* sound) {
    *sound = QuavelinSound{open, backend::play, backend::pause, backend::resume, backend::close, lengthMs};
}
