// The shuffle pick uses the C runtime's generator, seeded once at start-up; the same on every real
// platform (the tests' fake hands out numbers of its own).
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void seedRandom(std::uint32_t seed) { std::srand(seed); }

int randomNumber() { return std::rand(); }

}  // namespace platform
