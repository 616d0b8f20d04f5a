// Standard input on Windows: a console, a pipe, or a file (or the NUL device). Each kind has its
// own way of telling whether a read would return at once. A pipe must never be taken for a
// console: _kbhit knows nothing of pipes and would report "no key" for ever, so a player driven
// by a script would never see its commands.
#include <windows.h>

#include <conio.h>

#include "platform/stdin_source.h"
#include "platform/windows/pipe_reader.h"

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

}  // namespace

std::size_t stdinRead(char* buf, std::size_t size) {
    if (size == 0) return 0;
    if (kind() == InputKind::Pipe) return pipeRead(buf, size);
    HANDLE input = inputHandle();
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return 0;
    // A console in line mode hands over one typed line ("\r\n" included) per read; Ctrl+Z at
    // the start of a line reads as zero bytes, the end of input.
    DWORD wanted = size > 0xFFFFu ? 0xFFFFu : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(input, buf, wanted, &got, nullptr)) return 0;
    return got;
}

bool stdinWait(int timeoutMs) {
    switch (kind()) {
        case InputKind::Console: {
            // _kbhit answers only for now: ask again every few milliseconds until the time is up.
            const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
            while (_kbhit() == 0) {
                if (GetTickCount64() >= deadline) return false;
                Sleep(5);
            }
            return true;
        }
        case InputKind::Pipe: return pipeWait(timeoutMs);
        case InputKind::Other: break;
    }
    return true;  // a file or the NUL device never makes a read wait
}

}  // namespace platform::detail
