// Standard error while a line editor runs at the terminal: caught in a pipe, so that a notice (the
// player's own "no usable sound device", a sound library's) is written above the typed line, on a
// line of its own, and never into it, whatever thread writes it and whenever.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

class StderrNotices {
public:
    StderrNotices();   // from here on, standard error goes into the pipe
    ~StderrNotices();  // standard error is the terminal again; what was caught is written there
    StderrNotices(const StderrNotices&) = delete;
    StderrNotices& operator=(const StderrNotices&) = delete;

    // Readable while a notice waits (-1 when none can be caught: standard error stays as it was).
    int descriptor() const { return pipe_; }
    // The whole lines caught so far; a line without its end waits for it.
    std::string take();
    // Writes text to the terminal's standard error.
    void show(std::string_view text) const;

private:
    int terminal_ = -1;  // standard error as it was
    int pipe_ = -1;      // the pipe's reading end
    std::string partial_;
};

}  // namespace platform::posix
