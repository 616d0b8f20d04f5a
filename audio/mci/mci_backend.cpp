// The playback device on Windows: MCI command messages to one device at a time. No command waits
// (no MCI_WAIT): the play runs in the background, and its results are not looked at, except the
// length query, whose answer is only meaningful when it succeeded. The wide-character commands
// take the file's name as the file system holds it, whatever the system's ANSI code page.
#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "audio/backend.h"
#include "platform/windows/wide_text.h"

namespace backend {
namespace {

MCIERROR send(DeviceId id, UINT command, DWORD_PTR flags, void* block) {
    return mciSendCommandW(static_cast<MCIDEVICEID>(id), command, flags, reinterpret_cast<DWORD_PTR>(block));
}

// The player ends through exit without closing the device, and the sound is to end with the
// process. Closing whatever is still open on the way out does that explicitly: under wine,
// ending a process whose MPEGVideo device still plays crashes (status 139 instead of 1).
void closeAllOnExit() { mciSendCommandW(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0); }

void closeAllOnExitOnce() {
    static const bool registered = std::atexit(closeAllOnExit) == 0;
    (void)registered;
}

// MCI's device type for each kind of file.
const wchar_t* deviceTypeOf(Format format) { return format == Format::Wave ? L"waveaudio" : L"MPEGVideo"; }

// The console's own window, to which a play addresses its completion notice. Nothing reads the
// notice (the player decides by the clock when a track is over), but MCI is told where it goes.
HWND consoleWindow() {
    static const HWND window = GetConsoleWindow();
    return window;
}

}  // namespace

// fileName is UTF-8, as every name inside the player.
DeviceId open(Format format, const char* fileName) {
    closeAllOnExitOnce();
    const std::wstring element = platform::detail::wideFromUtf8(fileName);
    // Zeroed, so that an open that fails leaves device 0, which names no device.
    MCI_OPEN_PARMSW OpenParms{};
    OpenParms.lpstrDeviceType = deviceTypeOf(format);
    OpenParms.lpstrElementName = element.c_str();
    // The device argument is that of the closed device, 0: every open follows a close.
    send(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, &OpenParms);
    return OpenParms.wDeviceID;
}

void play(DeviceId id, std::uint32_t fromMs) {
    MCI_PLAY_PARMS PlayParms{};
    PlayParms.dwCallback = reinterpret_cast<DWORD_PTR>(consoleWindow());
    PlayParms.dwFrom = fromMs;
    send(id, MCI_PLAY, MCI_NOTIFY | MCI_FROM, &PlayParms);
}

void pause(DeviceId id) { send(id, MCI_PAUSE, 0, nullptr); }

void resume(DeviceId id) { send(id, MCI_RESUME, 0, nullptr); }

void close(DeviceId id) { send(id, MCI_CLOSE, 0, nullptr); }

// A failed query (nothing open) leaves dwReturn unwritten; the track is then taken as 0 seconds
// long, so one that can't play ends after a second instead of stalling.
bool lengthMs(DeviceId id, std::uint32_t& milliseconds) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    if (send(id, MCI_STATUS, MCI_STATUS_ITEM, &status) != 0) return false;
    milliseconds = static_cast<std::uint32_t>(status.dwReturn);
    return true;
}

}  // namespace backend
