// The whole run: start-up, then the playback loop.
#pragma once

#include <optional>
#include <string>

// Returns the process's exit status. startDirectory, when given, answers the first question for
// a directory as if it had been typed there.
int runPlayer(const std::optional<std::string>& startDirectory = std::nullopt);
