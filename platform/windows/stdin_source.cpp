// Standard input on Windows: a console, a pipe, or a file (or the NUL device). Whatever it is, the
// shared input buffer receives UTF-8, like the player's names: a console gives UTF-16, a pipe or a
// file code page 932, as typed or written by the player's users and their scripts. Each kind has
// its own way of telling whether a read would return at once. A pipe must never be taken for a
// console: the console's wait knows nothing of pipes and would report "no key" for ever, so a
// player driven by a script would never see its commands.
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>

#include "platform/stdin_source.h"
#include "platform/windows/console_input.h"
#include "platform/windows/pipe_reader.h"
#include "platform/windows/wide_text.h"

namespace platform::detail {
namespace {

enum class InputKind { Console, Pipe, Other };

HANDLE inputHandle() { return GetStdHandle(STD_INPUT_HANDLE); }

InputKind detectKind() {
    HANDLE input = inputHandle();
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return InputKind::Other;
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) return InputKind::Console;
    if (GetFileType(input) == FILE_TYPE_PIPE) {
        startPipeReader(input);
        return InputKind::Pipe;
    }
    return InputKind::Other;
}

InputKind kind() {
    static const InputKind detected = detectKind();
    return detected;
}

// Converted text not yet handed out: one read may bring more UTF-8 than the caller has room for.
std::string converted;
std::size_t convertedHead = 0;
// A code page 932 lead byte whose second byte the next read brings (a pipe cuts anywhere).
std::string heldLeadByte;

std::size_t readBytes(char* buf, std::size_t size) {
    if (kind() == InputKind::Pipe) return pipeRead(buf, size);
    HANDLE input = inputHandle();
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return 0;
    DWORD got = 0;
    if (!ReadFile(input, buf, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}

// Code page 932 to UTF-8, keeping back a lead byte that ends the bytes without its partner.
std::string fromCodePage932(std::string bytes) {
    std::size_t k = 0;
    while (k < bytes.size()) k += IsDBCSLeadByteEx(932, static_cast<BYTE>(bytes[k])) ? 2 : 1;
    if (k > bytes.size()) {
        heldLeadByte = bytes.back();
        bytes.pop_back();
    }
    return utf8FromWide(wideFromCodePage932(bytes));
}

// Reads until some UTF-8 is there; false at the end of input.
bool refill() {
    converted.clear();
    convertedHead = 0;
    while (converted.empty()) {
        if (kind() == InputKind::Console) {
            if (!consoleRead(inputHandle(), converted)) return false;
            continue;
        }
        std::array<char, 4096> chunk{};
        const std::size_t got = readBytes(chunk.data(), chunk.size());
        std::string bytes = std::move(heldLeadByte);
        heldLeadByte.clear();
        if (got == 0) {  // the end: a lone lead byte left over is taken for what it is
            converted = utf8FromWide(wideFromCodePage932(bytes));
            return !converted.empty();
        }
        bytes.append(chunk.data(), got);
        converted = fromCodePage932(std::move(bytes));
    }
    return true;
}

}  // namespace

std::size_t stdinRead(char* buf, std::size_t size) {
    if (size == 0) return 0;
    if (convertedHead == converted.size() && !refill()) return 0;
    const std::size_t taken = std::min(size, converted.size() - convertedHead);
    std::copy_n(converted.data() + convertedHead, taken, buf);
    convertedHead += taken;
    return taken;
}

bool stdinWait(int timeoutMs) {
    if (convertedHead < converted.size()) return true;
    switch (kind()) {
        case InputKind::Console: return consoleWait(inputHandle(), timeoutMs);
        case InputKind::Pipe: return pipeWait(timeoutMs);
        case InputKind::Other: break;
    }
    return true;  // a file or the NUL device never makes a read wait
}

}  // namespace platform::detail
