#include "platform/windows/wide_text.h"

#include <windows.h>

namespace platform::detail {
namespace {

constexpr UINT kCodePage932 = 932;

std::wstring toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int inLength = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), inLength, wide.data(), length);
    return wide;
}

// flags and the stand-in only for code page 932: the UTF-8 conversion takes neither.
std::string fromWide(UINT codePage, DWORD flags, const char* standIn, std::wstring_view wide) {
    if (wide.empty()) return {};
    const int inLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), inLength, nullptr, 0, standIn, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), inLength, bytes.data(), length, standIn, nullptr);
    return bytes;
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring wideFromUtf8(std::string_view utf8) { return toWide(CP_UTF8, utf8); }

std::string utf8FromWide(std::wstring_view wide) { return fromWide(CP_UTF8, 0, nullptr, wide); }

std::wstring wideFromCodePage932(std::string_view bytes) { return toWide(kCodePage932, bytes); }

std::string codePage932FromWide(std::wstring_view wide) {
    // A character beyond the 16-bit range (an emoji) is two UTF-16 units but one character: it
    // is made one '?' here, since code page 932 has none of them.
    std::wstring single;
    single.reserve(wide.size());
    for (std::size_t k = 0; k < wide.size(); ++k) {
        if (isHighSurrogate(wide[k]) && k + 1 < wide.size() && isLowSurrogate(wide[k + 1])) {
            single += L'?';
            ++k;
        } else {
            single += wide[k];
        }
    }
    // Without WC_NO_BEST_FIT_CHARS, é would be written as e: a name that reads as another one.
    return fromWide(kCodePage932, WC_NO_BEST_FIT_CHARS, "?", single);
}

}  // namespace platform::detail
