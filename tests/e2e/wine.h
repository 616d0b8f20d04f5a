// The Windows executable run under wine as the end-to-end tests run the Linux binary: the same
// trees, input and expected texts, translated at the edge. On a pipe the player reads and writes
// code page 932 and ends its lines with a carriage return; wine shows the tree as drive Z:.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tests/e2e/run_player.h"

namespace e2e::wine {

// The executable named by QUAVELIN_WINDOWS_EXE, run by wine in the prefix of WINEPREFIX; its
// sound goes to a null device that records it in soundDir/sound.raw (which must exist).
Options options(const std::filesystem::path& soundDir);

// Whether soundDir's recording holds a sample that is not silence.
bool soundPlayed(const std::filesystem::path& soundDir);

// What a user types, or a name, in code page 932.
std::string codePage932(std::string_view utf8);

// The output as the Linux binary prints it: UTF-8, and line ends without carriage returns. The
// played time and its bar become "<time>"; the track's length stays.
std::string asLinuxOutput(std::string_view bytes);

// path as the player sees it: Z:\tmp\...
std::string windowsPath(const std::filesystem::path& path);

// Ends wine's server and what it keeps running, so that nothing of one locale carries over to the
// next start.
void restart();

}  // namespace e2e::wine
