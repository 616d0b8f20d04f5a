// Text between the player and the wide-character Win32 calls. Inside the player every name and
// path is UTF-8, as on POSIX systems; Windows holds names as UTF-16, and pipes and files carry
// code page 932, the character set of the player's users.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {

std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

// Code page 932 bytes as UTF-16 (bytes that form no character become the code page's stand-in).
std::wstring wideFromCodePage932(std::string_view bytes);
// UTF-16 as code page 932: a character without a form there becomes one '?', never a look-alike.
std::string codePage932FromWide(std::wstring_view wide);

}  // namespace platform::detail
