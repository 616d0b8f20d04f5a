#include "console/status_lines.h"

#include "console/output.h"
#include "platform/platform.h"

void showPrompt(std::string_view title) {
    platform::writeBytes("Quavelin~ ");
    platform::writeBytes(title);
    platform::writeBytes("~$ ");
}

void showOnOff(bool on, const char* label) { printFormat(on ? "%-8s on\n" : "%-8s off\n", label); }

void showTimeBar(std::int32_t elapsed, std::int32_t length) {
    // Computed in doubles on purpose: a length of 0 gives an infinity or not-a-number, which the
    // comparisons turn into a full or an empty bar.
    double x = static_cast<double>(elapsed) * kBarWidth / static_cast<double>(length);
    char bar[kBarWidth + 2];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = static_cast<double>(i) <= x ? '>' : '.';
    bar[kBarWidth] = '\n';
    bar[kBarWidth + 1] = '\0';
    platform::writeBytes(bar);
}
