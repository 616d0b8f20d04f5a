// What the sink plays, as heard at its monitor: parec records it with a small latency on a thread
// of its own, and every window of 256 frames (5.8 ms) is stamped with the moment it was read and
// classed as silence, one of the benchmark's five tones, or unclear (a window across a change).
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/player/child.h"

namespace bench {

// The benchmark's tones, an octave apart so that a window's zero crossings tell them apart:
// tone k is 400 * 2^k Hz.
inline constexpr int kTones = 5;
inline constexpr int kToneHz[kTones] = {400, 800, 1600, 3200, 6400};

enum class Sound { unclear, silence, tone };

struct Heard {
    Sound sound = Sound::unclear;
    int tone = -1;  // 0 to kTones - 1 for Sound::tone
    bool operator==(const Heard&) const = default;
};

inline Heard silence() { return {Sound::silence, -1}; }
inline Heard toneOf(int k) { return {Sound::tone, ((k % kTones) + kTones) % kTones}; }

class Monitor {
public:
    // Records SOURCE of the PulseAudio server at SERVER.
    Monitor(const std::string& server, const std::string& source);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // The moment the monitor first carried `want` for two windows running, among the windows read
    // after `since`; nothing when the deadline passes first. With `notAfter`, a run of `want` that
    // follows that tone (the track playing on by itself, not the command) is passed over.
    std::optional<Clock::time_point> waitFor(Heard want, Clock::time_point since, Clock::time_point deadline,
                                             std::optional<Heard> notAfter = std::nullopt);
    // The moment the monitor first carried a tone for two windows running that does not follow on
    // from the tone before it (neither that tone nor the next one): where a seek landed, wherever
    // that is; nothing when the deadline passes first.
    std::optional<Clock::time_point> waitForLeap(Clock::time_point since, Clock::time_point deadline);
    // The last clear sound read, or unclear before any.
    Heard latest();

private:
    struct Window {
        Clock::time_point at;
        Heard heard;
    };
    void record();
    void classify(std::string_view samples, Clock::time_point at);
    // The tone of the last run of two windows or more before window k. Silence, unclear windows
    // and a lone window (half a tone and half the short gap where copies of a track are joined
    // reads as a lower tone) don't count.
    std::optional<int> toneBefore(std::size_t k) const;

    Child parec_;
    std::mutex mutex_;
    std::condition_variable grew_;
    std::vector<Window> windows_;
    std::string partial_;  // samples of a window not yet complete
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace bench
