// Every command the prompt takes, and the help screen's rows, in one table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/actions.h"

// The action for a typed word; null when the word is no command (it is then ignored in silence).
// A whole command word wins over the commands that take any word beginning with their letter.
Action actionFor(std::string_view word);

// The command words as typed at the prompt (the track numbers have none), for completion.
std::vector<std::string> typedCommandWords();

// The help text the help screen shows for word; empty when it has no row.
std::optional<std::string_view> helpTextFor(std::string_view word);
