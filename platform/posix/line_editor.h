// The line editor at a terminal, the one place that knows libedit: driven a key at a time so that
// the player's wait goes on around it, showing the player's own prompt, with the typed lines of
// this and earlier runs on up and down, and completion on Tab. It reads and shows text in the
// character set the player writes in.
#pragma once

#include <locale.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/typed_history.h"

struct editline;  // libedit's EditLine

namespace platform::posix {

// The locale (its LC_CTYPE) the editor reads keys and shows the prompt in, for the user's codeset:
// the user's own ("") where the player writes in that character set (code page 932, UTF-8), C.UTF-8
// everywhere else, where the player writes UTF-8 (the C locale among them).
const char* editorLocaleFor(std::string_view usersCodeset);

class LineEditor {
public:
    // Takes the terminal (no echo, a key at a time) until it is destroyed.
    LineEditor();
    ~LineEditor();
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    struct Key {
        enum class Kind { Editing, Entered, End } kind = Kind::Editing;
        std::string line;  // Entered: the line, with its line end
    };
    // Takes one key; standard input has a byte ready. Entered leaves the cursor below the line, End
    // (Ctrl-D on an empty line, a terminal gone) leaves the line where it is.
    Key takeKey();
    // After an entered line: an empty one.
    void startLine();
    // Keeps the entered lines in the history file (a moment when nothing waits for it).
    void saveHistory() { history_.save(); }

    // The prompt the next drawing shows in front of the typed text (bytes as the player wrote them).
    void setPrompt(std::string_view bytes);
    // Draws the prompt and the typed text; the cursor stands at the start of a line.
    void show();
    // Takes them off the screen, leaving the cursor where they began.
    void hide();

    // After a stop: the terminal in the editor's mode again.
    void takeTerminalAgain();

private:
    class InLocale;
    static wchar_t* promptOf(editline* el);
    static int readChar(editline* el, wchar_t* c);
    static unsigned char complete(editline* el, int key);
    void showChoices(const std::vector<std::string>& choices);

    locale_t locale_;
    TypedHistory history_;
    std::wstring prompt_;
    editline* el_;
    bool keyBegun_ = false;  // a byte of the key being taken has been read
    bool closed_ = false;    // the terminal reads no more
};

}  // namespace platform::posix
