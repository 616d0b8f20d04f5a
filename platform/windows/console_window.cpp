// The console's own window, to which the audio device addresses its completion notices. A console
// program owns no window, so it gives its console a title that no other window can carry (tick
// count and process id), looks that title up, and puts the old title back.
#include <windows.h>

#include <array>

#include "platform/platform.h"

namespace platform {

WindowHandle findConsoleWindow() {
    std::array<char, 1024> oldtitle{};  // stays empty when the title can't be read
    std::array<char, 1024> newtitle{};
    GetConsoleTitleA(oldtitle.data(), static_cast<DWORD>(oldtitle.size()));
    DWORD processId = GetCurrentProcessId();
    DWORD tickCount = GetTickCount();
    wsprintfA(newtitle.data(), "%d/%d", static_cast<int>(tickCount), static_cast<int>(processId));
    SetConsoleTitleA(newtitle.data());
    HWND window = FindWindowA(nullptr, newtitle.data());
    SetConsoleTitleA(oldtitle.data());
    return window;
}

}  // namespace platform
