#include "bench/player/monitor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {
namespace {

constexpr std::size_t kWindowFrames = 256;
constexpr std::size_t kWindowBytes = kWindowFrames * sizeof(std::int16_t);
constexpr int kRate = 44100;

// The tones play at -6 dB (RMS about 0.35 of full scale); a decoded silent or paused stream is
// far below 0.02. What lies between is a window across a change.
constexpr double kSilentBelow = 0.02;
constexpr double kSoundAbove = 0.1;

Heard classOf(const std::int16_t* samples) {
    double power = 0;
    int crossings = 0;
    for (std::size_t k = 0; k < kWindowFrames; ++k) {
        double x = samples[k] / 32768.0;
        power += x * x;
        if (k > 0 && (samples[k - 1] < 0) != (samples[k] < 0)) ++crossings;
    }
    double rms = std::sqrt(power / kWindowFrames);
    if (rms < kSilentBelow) return silence();
    if (rms < kSoundAbove) return {};
    // A tone of f Hz crosses zero 2 f times a second; the bounds lie halfway (geometrically)
    // between neighbouring tones.
    double hz = crossings * kRate / (2.0 * kWindowFrames);
    for (int t = 0; t + 1 < kTones; ++t)
        if (hz < std::sqrt(static_cast<double>(kToneHz[t]) * kToneHz[t + 1])) return toneOf(t);
    return toneOf(kTones - 1);
}

}  // namespace

Monitor::Monitor(const std::string& server, const std::string& source)
    : parec_({"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=1", "--latency-msec=5", "-d",
              source},
             ".", environmentWith(currentEnvironment(), {"PULSE_SERVER=" + server})),
      thread_([this] { record(); }) {}

Monitor::~Monitor() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    thread_.join();
}

void Monitor::record() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
        }
        if (!parec_.readSome(20)) {
            std::fprintf(stderr, "quavelin_bench: parec ended: %s\n", parec_.errors().c_str());
            std::_Exit(1);
        }
        std::string data = parec_.takeOutput();
        if (!data.empty()) classify(data, Clock::now());
    }
}

void Monitor::classify(std::string_view data, Clock::time_point at) {
    partial_.append(data);
    std::vector<Window> read;
    std::size_t used = 0;
    for (; used + kWindowBytes <= partial_.size(); used += kWindowBytes) {
        std::int16_t samples[kWindowFrames];
        std::memcpy(samples, partial_.data() + used, kWindowBytes);
        read.push_back({at, classOf(samples)});
    }
    partial_.erase(0, used);
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.insert(windows_.end(), read.begin(), read.end());
    grew_.notify_all();
}

std::optional<int> Monitor::toneBefore(std::size_t k) const {
    for (; k >= 2; --k) {
        const Heard& heard = windows_[k - 1].heard;
        if (heard.sound == Sound::tone && windows_[k - 2].heard == heard) return heard.tone;
    }
    return std::nullopt;
}

std::optional<Clock::time_point> Monitor::waitFor(Heard want, Clock::time_point since,
                                                  Clock::time_point deadline, std::optional<Heard> notAfter) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t from = windows_.size();
    while (from > 0 && windows_[from - 1].at > since) --from;
    for (;;) {
        for (std::size_t k = from; k + 1 < windows_.size(); ++k) {
            if (windows_[k].heard != want || windows_[k + 1].heard != want) continue;
            bool followsOn = notAfter && toneBefore(k) == notAfter->tone;
            if (!followsOn) return windows_[k].at;
            from = k + 1;
            while (from < windows_.size() && windows_[from].heard == want) ++from;
        }
        if (windows_.size() > from + 1) from = windows_.size() - 1;
        if (Clock::now() >= deadline) return std::nullopt;
        grew_.wait_until(lock, deadline);
    }
}

std::optional<Clock::time_point> Monitor::waitForLeap(Clock::time_point since, Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t from = windows_.size();
    while (from > 0 && windows_[from - 1].at > since) --from;
    for (;;) {
        for (; from + 1 < windows_.size(); ++from) {
            const Heard& heard = windows_[from].heard;
            if (heard.sound != Sound::tone || windows_[from + 1].heard != heard) continue;
            std::optional<int> previous = toneBefore(from);
            if (!previous || (heard.tone != *previous && heard.tone != (*previous + 1) % kTones))
                return windows_[from].at;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        grew_.wait_until(lock, deadline);
    }
}

Heard Monitor::latest() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto w = windows_.rbegin(); w != windows_.rend(); ++w)
        if (w->heard.sound != Sound::unclear) return w->heard;
    return {};
}

}  // namespace bench
