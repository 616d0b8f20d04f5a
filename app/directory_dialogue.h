// The questions for a directory: at start-up, when a directory holds no MP3, and for cd.
#pragma once

#include <optional>
#include <string>

#include "app/actions.h"

enum class Entered { Yes, No, Quit };

// Asks for a directory and makes it the current one. The word "exit" (or the end of input) at its
// prompt says "終了します" and answers Quit. A given answer stands for one typed there, and is
// shown after the prompt with a line end, as the terminal shows a typed one.
Entered askForDirectory(const std::optional<std::string>& given = std::nullopt);

// Scans the current directory into the state's list; while it holds no MP3, says so and asks for
// another directory. Quit when the user ends it at one of the questions.
Flow loadTracksAsking(PlayerState& state);
