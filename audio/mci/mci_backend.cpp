// The playback device on Windows: MCI command messages to one device at a time. No command waits
// (no MCI_WAIT): the play runs in the background, and its results are not looked at, except the
// length query, whose answer is only meaningful when it succeeded. The wide-character commands
// take the file's name as the file system holds it, whatever the system's ANSI code page.
#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "audio/sound_service.h"
#include "platform/windows/wide_text.h"

namespace {

// The open device; 0, which names no device, while none is open.
MCIDEVICEID openDevice = 0;

MCIERROR send(UINT command, DWORD_PTR flags, void* block) {
    return mciSendCommandW(openDevice, command, flags, reinterpret_cast<DWORD_PTR>(block));
}

// The player ends through exit without closing the device, and the sound is to end with the
// process. Closing whatever is still open on the way out does that explicitly: under wine,
// ending a process whose MPEGVideo device still plays crashes (status 139 instead of 1).
void closeAllOnExit() { mciSendCommandW(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0); }

void closeAllOnExitOnce() {
    static const bool registered = std::atexit(closeAllOnExit) == 0;
    (void)registered;
}

// The console's own window, to which a play addresses its completion notice. Nothing reads the
// notice (the player decides by the clock when a track is over), but MCI is told where it goes.
HWND consoleWindow() {
    static const HWND window = GetConsoleWindow();
    return window;
}

// fileName is UTF-8, as every name inside the player. MP3 files play on MCI's MPEGVideo device.
int open(const char* fileName) {
    closeAllOnExitOnce();
    const std::wstring element = platform::detail::wideFromUtf8(fileName);
    // Zeroed, so that an open that fails leaves device 0.
    MCI_OPEN_PARMSW OpenParms{};
    OpenParms.lpstrDeviceType = L"MPEGVideo";
    OpenParms.lpstrElementName = element.c_str();
    // Sent to device 0, the closed device: every open follows a close.
    send(MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, &OpenParms);
    openDevice = OpenParms.wDeviceID;
    return openDevice != 0 ? 1 : 0;
}

void play(std::uint32_t fromMs) {
    MCI_PLAY_PARMS PlayParms{};
    PlayParms.dwCallback = reinterpret_cast<DWORD_PTR>(consoleWindow());
    PlayParms.dwFrom = fromMs;
    send(MCI_PLAY, MCI_NOTIFY | MCI_FROM, &PlayParms);
}

void pause() { send(MCI_PAUSE, 0, nullptr); }

void resume() { send(MCI_RESUME, 0, nullptr); }

void close() {
    send(MCI_CLOSE, 0, nullptr);
    openDevice = 0;
}

// A failed query (nothing open) leaves dwReturn unwritten; the track then has no length.
std::uint32_t lengthMs() {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    if (send(MCI_STATUS, MCI_STATUS_ITEM, &status) != 0) return 0;
    return static_cast<std::uint32_t>(status.dwReturn);
}

// The length MCI gives is the one it goes by.
int lengthIsExact() { return 1; }

// MCI plays one file at a time and can't join two: the next track starts when the player's clock
// ends the one before, and the sound ends with the process.
int queue(const char*) { return 0; }
void withdraw() {}
int advance() { return 0; }
std::int64_t msUntilEnd() { return -1; }
void finish() {}

// No volume offered: only the desktop's bus sets one, and Windows has none.
double volume() { return -1; }
void setVolume(double) {}

constexpr SoundService kMci{open,  play,     pause,   resume,     close,  lengthMs, lengthIsExact,
                            queue, withdraw, advance, msUntilEnd, finish, volume,   setVolume};

}  // namespace

void prepareSoundService() {}
const SoundService& soundService() { return kMci; }
