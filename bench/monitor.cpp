#include "bench/monitor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace bench {
namespace {

constexpr std::size_t kWindowFrames = 256;
constexpr std::size_t kWindowBytes = kWindowFrames * sizeof(std::int16_t);
constexpr int kRate = 44100;

// The tones play at -6 dB (RMS about 0.35 of full scale); a decoded silent or paused stream is
// far below 0.02. What lies between is a window across a change.
Heard classOf(const char* bytes) {
    std::int16_t samples[kWindowFrames];
    std::memcpy(samples, bytes, kWindowBytes);
    double power = 0;
    int crossings = 0;
    for (std::size_t k = 0; k < kWindowFrames; ++k) {
        power += samples[k] / 32768.0 * samples[k] / 32768.0;
        if (k > 0 && (samples[k - 1] < 0) != (samples[k] < 0)) ++crossings;
    }
    double rms = std::sqrt(power / kWindowFrames);
    if (rms < 0.02) return silence();
    if (rms < 0.1) return {};
    // A tone of f Hz crosses zero 2 f times a second; the bounds lie halfway (geometrically)
    // between neighbouring tones.
    double hz = crossings * kRate / (2.0 * kWindowFrames);
    for (int t = 0; t + 1 < kTones; ++t)
        if (hz < std::sqrt(static_cast<double>(kToneHz[t]) * kToneHz[t + 1])) return toneOf(t);
    return toneOf(kTones - 1);
}

}  // namespace

Monitor::Monitor()
    : parec_({"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=1", "--latency-msec=5", "-d",
              "quavelin.monitor"},
             "."),
      thread_([this] { record(); }) {}

Monitor::~Monitor() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    thread_.join();
}

void Monitor::record() {
    std::string partial;  // samples of a window not yet complete
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
        }
        if (!parec_.readSome(20)) {
            std::fprintf(stderr, "quavelin_bench: parec ended: %s\n", parec_.errors().c_str());
            std::_Exit(1);
        }
        partial += parec_.takeOutput();
        Clock::time_point at = Clock::now();
        std::size_t used = 0;
        std::lock_guard lock(mutex_);
        for (; used + kWindowBytes <= partial.size(); used += kWindowBytes)
            windows_.push_back({at, classOf(partial.data() + used)});
        partial.erase(0, used);
        grew_.notify_all();
    }
}

std::optional<int> Monitor::toneBefore(std::size_t k) const {
    for (; k >= 2; --k) {
        const Heard& heard = windows_[k - 1].heard;
        if (heard.sound == Sound::tone && windows_[k - 2].heard == heard) return heard.tone;
    }
    return std::nullopt;
}

std::optional<Clock::time_point> Monitor::first(Clock::time_point since, Clock::time_point deadline,
                                                const Accept& accept) {
    std::unique_lock lock(mutex_);
    std::size_t k = windows_.size();
    while (k > 0 && windows_[k - 1].at > since) --k;
    for (;;) {
        for (; k + 1 < windows_.size(); ++k)
            if (windows_[k].heard == windows_[k + 1].heard && accept(windows_[k].heard, toneBefore(k)))
                return windows_[k].at;
        if (Clock::now() >= deadline) return std::nullopt;
        grew_.wait_until(lock, deadline);
    }
}

std::optional<Clock::time_point> Monitor::waitFor(Heard want, Clock::time_point since,
                                                  Clock::time_point deadline, std::optional<Heard> notAfter) {
    // Inside a run that is passed over, the tone before is the wanted one itself.
    return first(since, deadline, [&](Heard heard, std::optional<int> before) {
        return heard == want && !(notAfter && (before == notAfter->tone || before == want.tone));
    });
}

std::optional<Clock::time_point> Monitor::waitForLeap(Clock::time_point since, Clock::time_point deadline) {
    return first(since, deadline, [](Heard heard, std::optional<int> before) {
        return heard.sound == Sound::tone &&
               (!before || (heard.tone != *before && heard.tone != (*before + 1) % kTones));
    });
}

Heard Monitor::latest() {
    std::lock_guard lock(mutex_);
    for (auto w = windows_.rbegin(); w != windows_.rend(); ++w)
        if (w->heard.sound != Sound::unclear) return w->heard;
    return {};
}

}  // namespace bench
