// The POSIX sound service linked into the same program (the tests' build).
#include "audio/posix/service.h"

void prepareSoundService() {}
const SoundService& soundService() { return sound::kService; }
