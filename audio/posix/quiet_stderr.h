// Holds the process's standard error shut for a while. Sound libraries loaded behind SDL (ALSA
// above all) print their own complaints while a device is being looked for; none of them may
// reach the console.
#pragma once

namespace sound {

class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;  // the real standard error while it is shut
};

}  // namespace sound
