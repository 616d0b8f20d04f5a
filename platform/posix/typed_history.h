// The lines typed at a terminal, which up and down bring back: the last 500, kept between runs in
// $XDG_STATE_HOME/quavelin/history (~/.local/state/quavelin/history without it). A history that
// can't be read or written is done without, in silence.
#pragma once

#include <string>
#include <string_view>

struct history;  // libedit's History

namespace platform::posix {

constexpr int kHistoryLines = 500;

// The history file's path from the values of XDG_STATE_HOME and HOME (null when unset); empty when
// neither names an absolute directory.
std::string historyPath(const char* stateHome, const char* home);

class TypedHistory {
public:
    // Loads what the file at path holds, the last lines that fit; an empty path keeps no file.
    explicit TypedHistory(std::string path);
    ~TypedHistory();
    TypedHistory(const TypedHistory&) = delete;
    TypedHistory& operator=(const TypedHistory&) = delete;

    // An entered line (without its line end): kept unless it is blank or the one before again.
    void add(std::string_view line);
    // Writes the file anew if a line was kept since it was last written (done on destruction too).
    // Apart from add, which hands a line over at once, and so the player acts on it at once.
    void save();
    // For libedit's editor, which walks it with up and down.
    struct ::history* get() const {
        return history_;
    }

private:
    struct ::history* history_;
    std::string path_;
    bool unsaved_ = false;
};

}  // namespace platform::posix
