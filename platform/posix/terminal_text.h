// The player's output at a terminal with a line editor, in two parts: the whole lines, written at
// once above the editor's line, and the text after the last line end, which the editor shows as
// its prompt in front of what is typed (the prompt is so exactly what the player printed). A
// prompt that was shown while the player waited is over once more output comes: it stays above,
// ended, and what follows (a new track's prompt, a call from the desktop's bus) starts on a line
// of its own, the typed text carried below it.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

class TerminalText {
public:
    void add(std::string_view bytes) { pending_.append(bytes); }
    bool hasNew() const { return !pending_.empty(); }

    // The whole lines to write now; the prompt keeps the rest. promptShown: the editor showed the
    // prompt while the player waited, and has taken it off the screen again.
    std::string takeLines(bool promptShown);

    const std::string& prompt() const { return prompt_; }
    // A line typed at the prompt was entered: the prompt is on the screen with it, ended.
    void promptAnswered() { prompt_.clear(); }

private:
    std::string pending_;  // written by the player since the last takeLines
    std::string prompt_;
};

}  // namespace platform::posix
