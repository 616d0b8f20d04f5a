// The platform, desktop bus and sound service the unit tests run the player on: a virtual clock
// that moves only when the player waits for input, scripted input and bus calls, an in-memory
// directory tree, and a record of every device call and of what the bus was shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/desktop_bus.h"

namespace fake {

// Forgets everything: clock back to the start, no input (typed or in the player's buffer), an empty
// tree with only "/", no output, no device calls, no file open.
void reset();

// ---- Input ----
// text becomes readable at virtual time atMs (pieces are typed in the order of their times); a read
// that finds nothing ready waits (moves the clock) until the next piece. After the last piece comes
// end of input.
void typeAt(std::int64_t atMs, const std::string& text);

// ---- Output ----
const std::string& output();

// ---- Desktop bus ----
// call waits from virtual time atMs on (calls are taken in the order of their times); a wait for
// input ends for it, before text typed at the same time is read. Only calls that come before the
// end of input are seen.
void callAt(std::int64_t atMs, const platform::bus::Call& call);
// Every status the player showed the bus, in order.
const std::vector<platform::bus::Status>& shown();

// ---- Random numbers: returned in turn, then 0 ----
void setRandom(std::vector<int> values);

// ---- Directories (absolute paths with '/') ----
void addDirectory(const std::string& path);
void addFile(const std::string& path);  // parents are created as needed

// ---- Device ----
struct DeviceCall {
    std::int64_t atMs;     // virtual time of the call
    std::string what;      // "open", "play", "pause", "resume", "close", "length", "queue",
                           // "withdraw", "advance", "finish", "volume"
    std::string name;      // open and queue: element name; others: the open file's name (empty: none)
    std::uint32_t fromMs;  // play: start position
    double volume = 0;     // volume: the one set
};
const std::vector<DeviceCall>& deviceCalls();
// Length reported for an element name; files without one report 180 s.
void setLengthMs(const std::string& name, std::uint32_t ms);
// Until virtual time untilMs the device gives estimateMs as every file's length, as one it is still
// making exact; then the length set above.
void setEstimate(std::uint32_t estimateMs, std::int64_t untilMs);
// From now on the device tells when its sound will have been heard to the end, and its sound runs
// ms behind the clock (without this it can't tell, as MCI can't).
void setSoundLagMs(std::int64_t ms);
// Gives the output a volume of its own (none after reset), or another one at atMs, as a mixer would.
void setOutputVolume(double volume, std::int64_t atMs = 0);

}  // namespace fake
