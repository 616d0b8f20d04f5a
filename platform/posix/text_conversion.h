// Converting the player's UTF-8 messages to the character set of a Shift_JIS locale.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// True for the names under which locales call code page 932 (Shift_JIS, SJIS, CP932,
// Windows-31J), in any letter case.
bool isCodePage932(std::string_view codeset);

// utf8 converted to toCodeset (an iconv name). Characters the target lacks become '?'; when the
// conversion is not available at all, utf8 comes back unchanged.
std::string convertFromUtf8(std::string_view utf8, const char* toCodeset);

}  // namespace platform::posix
