#include "platform/windows/console_input.h"

#include <array>
#include <string_view>

#include "platform/windows/wide_text.h"

namespace platform::detail {
namespace {

bool typesSomething(const INPUT_RECORD& event) {
    return event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
           event.Event.KeyEvent.uChar.UnicodeChar != 0;
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

bool consoleWait(HANDLE input, int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        INPUT_RECORD event{};
        DWORD count = 0;
        while (PeekConsoleInputW(input, &event, 1, &count) && count == 1) {
            if (typesSomething(event)) return true;
            ReadConsoleInputW(input, &event, 1, &count);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const DWORD waited = WaitForSingleObject(input, static_cast<DWORD>(deadline - now));
        if (waited == WAIT_TIMEOUT) return false;
        if (waited != WAIT_OBJECT_0) return true;  // no telling: let the read wait instead
    }
}

bool consoleRead(HANDLE input, std::string& utf8) {
    // The first half of a character beyond 16 bits whose second half the next read brings.
    static wchar_t heldHalf = 0;
    std::array<wchar_t, 1024> typed{};
    std::size_t start = 0;
    if (heldHalf != 0) typed[start++] = heldHalf;
    heldHalf = 0;
    DWORD got = 0;
    if (!ReadConsoleW(input, typed.data() + start, static_cast<DWORD>(typed.size() - start), &got, nullptr))
        return false;
    if (got == 0 || (start == 0 && typed[0] == L'\x1a')) return false;
    std::size_t length = start + got;
    if (isHighSurrogate(typed[length - 1])) heldHalf = typed[--length];
    utf8 = utf8FromWide(std::wstring_view(typed.data(), length));
    return true;
}

}  // namespace platform::detail
