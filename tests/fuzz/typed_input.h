// Arbitrary bytes typed into the fake platform's standard input the way a pipe delivers them: in
// pieces that arrive one after another, the size of the pieces chosen by the input's first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fake/fake_platform.h"

namespace fuzz {

struct Typed {
    std::string text;  // everything typed, in order
    unsigned mode;     // the first byte: piece size and how reads are mixed, for the target's use
};

// Starts a fresh fake world and types data (less its first byte) in pieces, 10 ms apart.
inline Typed typeInPieces(const std::uint8_t* data, std::size_t size) {
    fake::reset();
    Typed typed{std::string(), 0};
    if (size == 0) return typed;
    typed.mode = data[0];
    typed.text.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t piece = typed.mode % 32 + 1;
    std::int64_t at = 0;
    for (std::size_t from = 0; from < typed.text.size(); from += piece, at += 10)
        fake::typeAt(at, typed.text.substr(from, piece));
    return typed;
}

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The words a reader with a buffer of size bytes sees in text, as zero-terminated strings: split
// at blanks, each cut to size - 1 bytes, and ending at a zero byte typed inside it.
inline std::vector<std::string> wordsOf(std::string_view text, std::size_t size) {
    std::vector<std::string> words;
    std::size_t k = 0;
    while (k < text.size()) {
        while (k < text.size() && isBlank(text[k])) ++k;
        if (k == text.size()) break;
        std::size_t start = k;
        while (k < text.size() && !isBlank(text[k])) ++k;
        std::string word(text.substr(start, std::min(k - start, size - 1)));
        words.push_back(word.substr(0, word.find('\0')));
    }
    return words;
}

}  // namespace fuzz
