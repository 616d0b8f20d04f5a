// The small lines printed between commands: the prompt, a mode's on/off line, the progress bar.
#pragma once

#include <cstdint>

constexpr int kBarWidth = 30;

// "Quavelin~ <name without extension>~$ "; name is left as it was.
void showPrompt(char* name);
void showOnOff(std::int32_t value, const char* label);
void showTimeBar(std::int32_t elapsed, std::int32_t length);
