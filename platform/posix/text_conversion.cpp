#include "platform/posix/text_conversion.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace platform::posix {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (lower(a[k]) != lower(b[k])) return false;
    return true;
}

// Owns one iconv descriptor.
class Converter {
public:
    explicit Converter(const char* toCodeset) : cd_(iconv_open(toCodeset, "UTF-8")) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

bool isCodePage932(std::string_view codeset) {
    for (std::string_view name : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J"})
        if (equalsIgnoringCase(codeset, name)) return true;
    return false;
}

std::string convertFromUtf8(std::string_view utf8, const char* toCodeset) {
    Converter converter(toCodeset);
    if (!converter.valid()) return std::string(utf8);

    std::string result;
    result.reserve(utf8.size());
    std::string input(utf8);  // iconv takes a non-const pointer to its input
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::array<char, 256> chunk{};
    while (inLeft > 0) {
        char* out = chunk.data();
        std::size_t outLeft = chunk.size();
        std::size_t done = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        result.append(chunk.data(), chunk.size() - outLeft);
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // A character the target lacks, or a broken sequence: show '?' and go on after it.
        result.push_back('?');
        ++in;
        --inLeft;
        while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
            ++in;
            --inLeft;
        }
    }
    return result;
}

}  // namespace platform::posix
