// The player's own short ASCII lines, numbers and fixed labels, formatted printf-style. Everything
// else goes straight to the platform's output: messages (UTF-8, converted for the console) with
// platform::writeText, names and paths as they are with platform::writeBytes.
#pragma once

[[gnu::format(printf, 1, 2)]] void printFormat(const char* format, ...);
