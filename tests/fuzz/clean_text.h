// The player's own text: UTF-8 messages, names and numbers, line ends; no control bytes and no
// stray high bytes from a cut character or an unterminated buffer.
#pragma once

#include <string_view>

namespace fuzz {

inline bool isCleanText(std::string_view text) {
    for (std::size_t k = 0; k < text.size();) {
        auto c = static_cast<unsigned char>(text[k]);
        std::size_t length = c < 0x80           ? 1
                             : (c >> 5) == 0x6  ? 2
                             : (c >> 4) == 0xe  ? 3
                             : (c >> 3) == 0x1e ? 4
                                                : 0;
        if (length == 0 || k + length > text.size()) return false;
        for (std::size_t j = 1; j < length; ++j)
            if ((static_cast<unsigned char>(text[k + j]) & 0xc0) != 0x80) return false;
        if (length == 1 && ((c < 0x20 && c != '\n') || c == 0x7f)) return false;
        k += length;
    }
    return true;
}

}  // namespace fuzz
