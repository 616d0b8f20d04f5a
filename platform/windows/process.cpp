#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void exitProcess(int status) {
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace platform
