// What the sink plays, as heard at its monitor: parec records it with a small latency on a thread
// of its own, and every window of 256 frames (5.8 ms) is stamped with the moment it was read and
// classed as silence, one of five tones, or unclear (a window across a change).
#pragma once

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "bench/bench.h"

namespace bench {

// An octave apart, so that a window's zero crossings tell them apart: tone k is 400 * 2^k Hz.
inline constexpr int kTones = 5;

// What a window holds: a tone (0 to kTones - 1), silence, or neither (a window across a change).
using Heard = int;
inline constexpr Heard kSilence = -1, kUnclear = -2;
inline Heard toneOf(int k) { return ((k % kTones) + kTones) % kTones; }

// The tones play at -6 dB (RMS about 0.35 of full scale); a decoded silent or paused stream is far
// below 0.02. What lies between is a window across a change.
inline Heard classOf(const std::int16_t (&samples)[256]) {
    double power = 0;
    int crossings = 0;
    for (std::size_t k = 0; k < 256; ++k) {
        power += samples[k] / 32768.0 * samples[k] / 32768.0;
        if (k > 0 && (samples[k - 1] < 0) != (samples[k] < 0)) ++crossings;
    }
    if (std::sqrt(power / 256) < 0.02) return kSilence;
    if (std::sqrt(power / 256) < 0.1) return kUnclear;
    // A tone of f Hz crosses zero 2 f times a second; the bounds lie (geometrically) between tones.
    double hz = crossings * 44100 / (2.0 * 256);
    for (int t = 0; t + 1 < kTones; ++t)
        if (hz < 400 * std::sqrt(2.0) * (1 << t)) return toneOf(t);
    return toneOf(kTones - 1);
}

class Monitor {
public:
    // Records a sink's monitor, by default the private server's null sink "quavelin" at 5 ms; another
    // server's among extra's environment entries. Its left channel: a downmix would change the level.
    explicit Monitor(int latencyMs = 5, const std::string& sink = "quavelin", int rate = 44100,
                     const std::vector<std::string>& extra = {})
        : parec_({"parec", "--raw", "--format=s16le", "--rate=" + std::to_string(rate), "--channels=2",
                  "--latency-msec=" + std::to_string(latencyMs), "-d", sink + ".monitor"},
                 ".", extra) {}
    // Every sample heard so far.
    std::vector<std::int16_t> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }

    // The moment a run of two windows began after since that accept takes, given the tone of the run
    // before it; nothing by the deadline.
    std::optional<Clock::time_point> first(Clock::time_point since, Clock::time_point deadline,
                                           const std::function<bool(Heard, Heard)>& accept) {
        std::unique_lock lock(mutex_);
        std::size_t k = windows_.size();
        while (k > 0 && windows_[k - 1].first > since) --k;
        for (;;) {
            for (; k + 1 < windows_.size(); ++k)
                if (windows_[k].second == windows_[k + 1].second && accept(windows_[k].second, toneBefore(k)))
                    return windows_[k].first;
            if (Clock::now() >= deadline) return std::nullopt;
            grew_.wait_until(lock, deadline);
        }
    }
    // The moment `want` was first heard for two windows running after since, or nothing by the
    // deadline. With notAfter, a run that follows that tone (the track playing on by itself, not
    // the command) is passed over; inside such a run, the tone before is the wanted one itself.
    std::optional<Clock::time_point> waitFor(Heard want, Clock::time_point since, Clock::time_point deadline,
                                             Heard notAfter = kUnclear) {
        return first(since, deadline, [&](Heard heard, Heard before) {
            return heard == want && !(notAfter != kUnclear && (before == notAfter || before == want));
        });
    }

private:
    // The tone of the last run of two windows or more before window k, or kUnclear: silence, unclear windows
    // and a lone window (half a tone and half the gap where copies of a track are joined) don't count.
    Heard toneBefore(std::size_t k) const {
        for (; k >= 2; --k)
            if (windows_[k - 1].second >= 0 && windows_[k - 2].second == windows_[k - 1].second)
                return windows_[k - 1].second;
        return kUnclear;
    }
    void record(const std::stop_token& stop) {
        std::int16_t window[256];
        for (std::string partial; !stop.stop_requested();) {
            if (!parec_.readSome(20)) fail("parec ended: " + parec_.errors());
            partial += parec_.takeOutput();
            Clock::time_point at = Clock::now();
            std::size_t used = 0;
            std::lock_guard lock(mutex_);
            for (; used + 2 * sizeof window <= partial.size(); used += 2 * sizeof window) {
                std::int16_t both[512];
                std::memcpy(both, partial.data() + used, sizeof both);
                for (std::size_t k = 0; k < 256; ++k) samples_.push_back(window[k] = both[2 * k]);
                windows_.emplace_back(at, classOf(window));
            }
            partial.erase(0, used);
            grew_.notify_all();
        }
    }

    Child parec_;
    std::mutex mutex_;
    std::condition_variable grew_;
    std::vector<std::pair<Clock::time_point, Heard>> windows_;
    std::vector<std::int16_t> samples_;
    std::jthread thread_{[this](const std::stop_token& stop) { record(stop); }};  // stopped and joined first
};

}  // namespace bench
