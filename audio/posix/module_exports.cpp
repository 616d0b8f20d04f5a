// The sound module's entry points (see module_interface.h), each the backend function of the
// same name. Everything else in the module stays hidden.
#include "audio/backend.h"
#include "audio/posix/module_interface.h"

#define QUAVELIN_SOUND_EXPORT extern "C" __attribute__((visibility("default")))

QUAVELIN_SOUND_EXPORT std::uint32_t quavelin_sound_open(int format, const char* fileName) {
    return backend::open(static_cast<backend::Format>(format), fileName);
}

QUAVELIN_SOUND_EXPORT void quavelin_sound_play(std::uint32_t id, std::uint32_t fromMs) {
    backend::play(id, fromMs);
}

QUAVELIN_SOUND_EXPORT void quavelin_sound_pause(std::uint32_t id) { backend::pause(id); }

QUAVELIN_SOUND_EXPORT void quavelin_sound_resume(std::uint32_t id) { backend::resume(id); }

QUAVELIN_SOUND_EXPORT void quavelin_sound_close(std::uint32_t id) { backend::close(id); }

QUAVELIN_SOUND_EXPORT int quavelin_sound_length_ms(std::uint32_t id, std::uint32_t* milliseconds) {
    return backend::lengthMs(id, *milliseconds) ? 1 : 0;
}
