#pragma once

#include <optional>
#include <string>

#include "app/actions.h"

// Seeds the shuffle, asks for a starting directory until one with tracks is entered (given, when
// there is one, answers the first question) and prints the numbered listing.
Flow runStartup(PlayerState& state, const std::optional<std::string>& givenDirectory);
