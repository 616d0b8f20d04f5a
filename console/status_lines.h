// The small lines printed between commands: the prompt, a mode's on/off line, the progress bar.
#pragma once

#include <cstdint>
#include <string_view>

constexpr int kBarWidth = 30;

// "Quavelin~ <title>~$ ": the prompt with the playing track's title.
void showPrompt(std::string_view title);
void showOnOff(bool on, const char* label);
void showTimeBar(std::int32_t elapsed, std::int32_t length);
