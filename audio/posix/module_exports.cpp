// The sound module's entry point: it hands over the service's table. Everything else in the module
// stays hidden.
#include "audio/posix/service.h"

extern "C" __attribute__((visibility("default"))) const SoundService* quavelin_sound_entry() {
    return &sound::kService;
}
