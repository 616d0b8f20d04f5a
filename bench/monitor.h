// What the sink plays, as heard at its monitor: parec records it with a small latency on a thread
// of its own, and every window of 256 frames (5.8 ms) is stamped with the moment it was read and
// classed as silence, one of the benchmark's five tones, or unclear (a window across a change).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "bench/bench.h"

namespace bench {

// Tones an octave apart, so that a window's zero crossings tell them apart: tone k is 400 * 2^k Hz.
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
    Monitor();  // records the private server's null sink "quavelin"
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // The moment `want` was first heard for two windows running after since, or nothing by the
    // deadline. With notAfter, a run that follows that tone (the track playing on by itself, not
    // the command) is passed over.
    std::optional<Clock::time_point> waitFor(Heard want, Clock::time_point since, Clock::time_point deadline,
                                             std::optional<Heard> notAfter = std::nullopt);
    // The moment a tone was first heard for two windows running that neither repeats nor follows
    // on from the tone before it: where a seek landed, wherever that is.
    std::optional<Clock::time_point> waitForLeap(Clock::time_point since, Clock::time_point deadline);
    Heard latest();  // the last clear sound, or unclear before any

private:
    struct Window {
        Clock::time_point at;
        Heard heard;
    };
    // The first window after since that starts a run of two that accept takes, given the tone before.
    using Accept = std::function<bool(Heard, std::optional<int>)>;
    std::optional<Clock::time_point> first(Clock::time_point since, Clock::time_point deadline,
                                           const Accept& accept);
    // The tone of the last run of two windows or more before window k. Silence, unclear windows
    // and a lone window (half a tone and half the short gap where copies of a track are joined
    // reads as a lower tone) don't count.
    std::optional<int> toneBefore(std::size_t k) const;
    void record();

    Child parec_;
    std::mutex mutex_;
    std::condition_variable grew_;
    std::vector<Window> windows_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace bench
