#include "console/status_lines.h"

#include <cstring>

#include "console/output.h"

void showPrompt(char* name) {
    // The name is shown without its extension: cut at the last '.' for this one print.
    char* lastDot = std::strrchr(name, '.');
    if (lastDot != nullptr) *lastDot = '\0';
    printFormat("Quavelin~ %s~$ ", name);
    if (lastDot != nullptr) *lastDot = '.';
}

void showOnOff(std::int32_t value, const char* label) {
    if (value != 0)
        printFormat("%-8s on\n", label);
    else
        printFormat("%-8s off\n", label);
}

void showTimeBar(std::int32_t elapsed, std::int32_t length) {
    // Computed in doubles on purpose: a length of 0 gives an infinity or not-a-number, which the
    // comparisons turn into a full or an empty bar.
    double x = static_cast<double>(elapsed) * 30.0 / static_cast<double>(length);
    char bar[kBarWidth + 2];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = static_cast<double>(i) <= x ? '>' : '.';
    bar[kBarWidth] = '\n';
    bar[kBarWidth + 1] = '\0';
    printBytes(bar);
}
