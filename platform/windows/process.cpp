#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void writeError(std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }

}  // namespace platform
