// The signal of every fixture (see fixtures/make-fixtures) and a check that captured audio is that
// signal from a given point of the file on.
#pragma once

#include <vector>

namespace tone_signal {

constexpr int kSeconds = 15;

// The signal at t seconds: second k is a sine of 300 + 100*k Hz at half scale, from phase 0.
double at(double seconds);

// Checks that audio (mono, at the output rate) is the signal from startSeconds on: at every change
// of tone that audio spans, it must be that signal's change, within a couple of milliseconds.
// Returns the number of changes checked.
int expectSignalFrom(const std::vector<float>& audio, double startSeconds);

}  // namespace tone_signal
