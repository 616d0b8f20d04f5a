// The player on the desktop's bus, where media keys, headset buttons, the sound menu and
// playerctl find it (MPRIS on Linux). CMake links one implementation: sd-bus on POSIX, unless the
// build leaves the bus out, and none on Windows, where every call below does nothing; the tests
// link a fake of their own.
//
// The bus is served beside the player's one thread and never makes it wait: every call is answered
// at once from the last published status, and a command is queued for the playback loop, which
// wakes for it as it wakes for a typed line and carries it out as the player's own command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::bus {

enum class Loop { Playlist, Track, None };  // neither mode, loop, alloop

struct Call {
    enum class Kind {
        Next,
        Previous,
        Pause,
        Play,
        PlayPause,
        Stop,
        Seek,
        SetPosition,
        Quit,
        SetLoop,
        SetShuffle,
        SetVolume,  // the last kind: kCallKinds counts up to here
    };
    Kind kind = Kind::Play;
    std::int64_t us = 0;  // Seek: the offset; SetPosition: the position (any value a client sends)
    int slot = -1;        // SetPosition: the slot its track id names (-1: none of ours)
    Loop loop = Loop::Playlist;
    bool on = false;    // SetShuffle
    double volume = 0;  // SetVolume: 0 to 1
};
inline constexpr std::size_t kCallKinds = static_cast<std::size_t>(Call::Kind::SetVolume) + 1;

enum class Playback { Playing, Paused, Stopped };

struct Status {
    Playback playback = Playback::Stopped;
    int slot = 0;
    std::string path;   // the track's file, its whole path as the file system holds it
    std::string title;  // its name as the list shows it
    std::int64_t lengthMs = 0;
    std::int64_t playedMs = 0;  // by the player's clock, at the reading atMs; it runs on unless paused
    std::int64_t atMs = 0;
    Loop loop = Loop::Playlist;
    bool shuffle = false;
    double volume = -1;   // the sound output's own volume, 0 to 1; negative when it has none
    bool seeked = false;  // the position jumped (d, f, jump): announced to the listeners
};

// Starts claiming the player's name on the session bus and returns at once. Without a bus, with one
// that refuses or hangs, nothing is said and the player goes on as before.
void open();
// Ends the service, waiting for it a bounded time at most.
void close();

// The player's state as listeners see it; every change but the position's is announced. Cheap when
// nothing changed: the player shows it at every check.
void publish(const Status& status);

// Whether a command waits for the loop, and the oldest one (false when none waits).
bool callWaiting();
bool takeCall(Call& call);

// A POSIX descriptor that is readable while a command waits, which the wait for input polls beside
// standard input; -1 when there is none.
int wakeDescriptor();

}  // namespace platform::bus
