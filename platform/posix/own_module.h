// The player's own modules (the sound service, the tag reader): next to the binary in the build
// tree, and where an installation puts them (<libdir>/quavelin/), found relative to the binary so
// that any prefix works.
#pragma once

#include <string>

namespace platform {

// Loads the module fileName and returns its entry point entryName; null when either can't be had,
// with the reason in failure.
void* ownModuleEntry(const char* fileName, const char* entryName, std::string& failure);

}  // namespace platform
