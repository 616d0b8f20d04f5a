// The whole run: start-up, then the playback loop.
#pragma once

#include <optional>
#include <string>

// Returns the process's exit status. startDirectory, when given, answers the first question for
// a directory as if it had been typed there. onDesktopBus: the player also joins the desktop's bus
// (media keys, playerctl) where the build has one.
int runPlayer(const std::optional<std::string>& startDirectory = std::nullopt, bool onDesktopBus = true);
