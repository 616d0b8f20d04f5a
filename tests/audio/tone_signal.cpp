#include "tests/audio/tone_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "audio/posix/output_format.h"

namespace tone_signal {
namespace {

constexpr double kRate = sound::kRate;
constexpr double kHalfWindow = 0.050;  // seconds of audio compared on each side of a change
constexpr double kSearch = 0.040;      // how far a shift is looked for
constexpr double kTolerance = 0.0005;  // a few samples: the 4 kHz WAV is resampled on the way out

}  // namespace

double at(double seconds) {
    if (seconds < 0 || seconds >= kSeconds) return 0;
    int k = static_cast<int>(seconds);
    return 0.5 * std::sin(2 * std::numbers::pi * (300 + 100 * k) * (seconds - k));
}

int expectSignalFrom(const std::vector<float>& audio, double startSeconds) {
    const double endSeconds = startSeconds + static_cast<double>(audio.size()) / kRate;
    const int window = static_cast<int>(kHalfWindow * kRate);
    const int search = static_cast<int>(kSearch * kRate);
    int checked = 0;
    for (int change = 1; change < kSeconds; ++change) {
        if (change - startSeconds < kHalfWindow + kSearch + 0.01) continue;
        if (endSeconds - change < kHalfWindow + kSearch + 0.01) continue;
        const int centre = static_cast<int>(std::lround((change - startSeconds) * kRate));
        const int first = centre - window - search;
        std::vector<double> signal(static_cast<std::size_t>(2 * (window + search) + 1));
        for (std::size_t j = 0; j < signal.size(); ++j)
            signal[j] = at(startSeconds + (first + static_cast<int>(j)) / kRate);
        // The shift at which the audio matches the signal best, and how well.
        int bestShift = 0;
        double best = -1;
        for (int shift = -search; shift <= search; ++shift) {
            double dot = 0, audioEnergy = 0, signalEnergy = 0;
            for (int i = centre - window; i < centre + window; ++i) {
                double s = signal[static_cast<std::size_t>(i + shift - first)];
                double a = audio[static_cast<std::size_t>(i)];
                dot += a * s;
                audioEnergy += a * a;
                signalEnergy += s * s;
            }
            double match = dot / std::sqrt(audioEnergy * signalEnergy + 1e-30);
            if (match > best) {
                best = match;
                bestShift = shift;
            }
        }
        EXPECT_LE(std::abs(bestShift / kRate), kTolerance)
            << "the change to second " << change << " came " << bestShift / kRate * 1000 << " ms off";
        EXPECT_GT(best, 0.9) << "around second " << change << " the audio is not the signal";
        ++checked;
    }
    return checked;
}

}  // namespace tone_signal
