// The program's arguments: an optional starting directory, --help, --version and --no-mpris.
#pragma once

#include <string>
#include <vector>

// Runs what the arguments ask for and returns the exit status: the usage (0), the version (0), an
// error about the arguments (2), or the player itself.
int runCommandLine(const std::vector<std::string>& arguments);
