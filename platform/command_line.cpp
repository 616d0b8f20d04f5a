// The arguments as the C runtime hands them over: already UTF-8 on POSIX systems and in the tests.
#include "platform/platform.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int k = 1; k < argc; ++k) arguments.emplace_back(argv[k]);
    return arguments;
}

}  // namespace platform
