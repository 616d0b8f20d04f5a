// Everything the player prints goes through here: its own messages (UTF-8 in the source, converted
// for the console) and names or numbers, which are written as they are.
#pragma once

#include <string_view>

void printText(std::string_view utf8);
void printBytes(std::string_view bytes);
// Complaints about the command line, on standard error.
void printError(std::string_view utf8);
// printf-style formatting of the player's own short ASCII lines: numbers and fixed labels.
[[gnu::format(printf, 1, 2)]] void printFormat(const char* format, ...);
