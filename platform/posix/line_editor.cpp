#include "platform/posix/line_editor.h"

#include <histedit.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "platform/posix/completion.h"
#include "platform/posix/text_conversion.h"
#include "platform/stdin_source.h"

namespace platform::posix {
namespace {

// The rest of a key (an arrow's escape sequence, the further bytes of a character) comes with its
// first byte; a lone Escape is waited after this long at most, so that the player's checks go on.
constexpr int kRestOfKeyMs = 100;

locale_t playersLocale() {
    locale_t user = ::newlocale(LC_CTYPE_MASK, "", nullptr);
    const char* name = editorLocaleFor(user != nullptr ? ::nl_langinfo_l(CODESET, user) : "");
    if (*name == '\0' && user != nullptr) return user;
    if (user != nullptr) ::freelocale(user);
    if (locale_t chosen = ::newlocale(LC_CTYPE_MASK, name, nullptr)) return chosen;
    return ::newlocale(LC_CTYPE_MASK, "C", nullptr);
}

// Columns a text takes as libedit draws it (a control character as ^X).
std::size_t columnsOf(const wchar_t* from, const wchar_t* to) {
    std::size_t columns = 0;
    for (; from < to; ++from) {
        const int width = ::wcwidth(*from);
        columns += width < 0 ? 2 : static_cast<std::size_t>(width);
    }
    return columns;
}

bool byteWithin(int timeoutMs) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return ::poll(&input, 1, timeoutMs) > 0;
}

void writeOut(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

LineEditor& editorOf(EditLine* el) {
    void* editor = nullptr;
    ::el_get(el, EL_CLIENTDATA, &editor);
    return *static_cast<LineEditor*>(editor);
}

}  // namespace

const char* editorLocaleFor(std::string_view usersCodeset) {
    return isCodePage932(usersCodeset) || usersCodeset == "UTF-8" ? "" : "C.UTF-8";
}

// While alive, this thread reads and writes characters in the editor's character set; the rest of
// the player stays in the C locale.
class LineEditor::InLocale {
public:
    explicit InLocale(locale_t locale) : before_(::uselocale(locale)) {}
    ~InLocale() { ::uselocale(before_); }
    InLocale(const InLocale&) = delete;
    InLocale& operator=(const InLocale&) = delete;

private:
    locale_t before_;
};

LineEditor::LineEditor()
    : locale_(playersLocale()), history_(historyPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"))) {
    InLocale in(locale_);
    el_ = ::el_init("quavelin", stdin, stdout, stderr);
    ::el_set(el_, EL_CLIENTDATA, this);
    ::el_set(el_, EL_EDITOR, "emacs");
    ::el_wset(el_, EL_PROMPT, &LineEditor::promptOf);
    ::el_set(el_, EL_GETCFN, &LineEditor::readChar);
    ::el_set(el_, EL_HIST, ::history, history_.get());
    // Wide names: libedit keeps the very strings (the narrow call copies them and never frees them).
    ::el_wset(el_, EL_ADDFN, L"quavelin-complete", L"Completes a command word or a directory",
              &LineEditor::complete);
    ::el_set(el_, EL_BIND, "^I", "quavelin-complete", nullptr);
    // Ctrl-V would take the next key as it is, and one that does not come soon as the end of input.
    ::el_set(el_, EL_BIND, "^V", "ed-unassigned", nullptr);
    ::el_set(el_, EL_UNBUFFERED, 1);
}

LineEditor::~LineEditor() {
    InLocale in(locale_);
    ::el_end(el_);
    ::freelocale(locale_);
}

LineEditor::Key LineEditor::takeKey() {
    InLocale in(locale_);
    keyBegun_ = false;
    int count = 0;
    const char* text = ::el_gets(el_, &count);
    if (closed_) return {Key::Kind::End, {}};
    if (text == nullptr || count <= 0) return {};
    const std::string_view line(text, static_cast<std::size_t>(count));
    // In this mode libedit answers Ctrl-D on an empty line with the line "^D".
    if (line == "\x04") return {Key::Kind::End, {}};
    if (!line.ends_with('\n')) return {};
    history_.add(line.substr(0, line.size() - 1));
    return {Key::Kind::Entered, std::string(line)};
}

void LineEditor::startLine() {
    InLocale in(locale_);
    // Leaving the key-at-a-time mode and taking it again starts the line afresh (and the way
    // through the history from its newest line).
    ::el_set(el_, EL_UNBUFFERED, 0);
    ::el_set(el_, EL_UNBUFFERED, 1);
}

void LineEditor::setPrompt(std::string_view bytes) {
    InLocale in(locale_);
    prompt_.clear();
    std::mbstate_t state{};
    while (!bytes.empty()) {
        wchar_t c = 0;
        const std::size_t used = std::mbrtowc(&c, bytes.data(), bytes.size(), &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            // A byte that is no character here (a name in another character set): shown as '?'.
            c = L'?';
            state = {};
        }
        prompt_ += c;
        bytes.remove_prefix(used == 0 || used > bytes.size() ? 1 : used);
    }
}

void LineEditor::show() {
    InLocale in(locale_);
    ::el_set(el_, EL_REFRESH);
}

void LineEditor::hide() {
    InLocale in(locale_);
    const LineInfoW* line = ::el_wline(el_);
    int width = 0;
    ::el_get(el_, EL_GETTC, "co", &width);
    const std::size_t before =
        columnsOf(prompt_.data(), prompt_.data() + prompt_.size()) + columnsOf(line->buffer, line->cursor);
    const std::size_t rows = width > 0 ? before / static_cast<std::size_t>(width) : 0;
    // Back to where the prompt began, and everything from there cleared (any terminal that
    // understands ANSI sequences, as every one a user meets today does).
    std::string erase = "\r";
    if (rows > 0) erase += "\x1b[" + std::to_string(rows) + "A";
    writeOut(erase + "\x1b[J");
}

void LineEditor::takeTerminalAgain() {
    InLocale in(locale_);
    // The terminal was given back as found; the editor believes it still has it.
    ::el_set(el_, EL_PREP_TERM, 0);
    ::el_set(el_, EL_PREP_TERM, 1);
}

wchar_t* LineEditor::promptOf(EditLine* el) { return editorOf(el).prompt_.data(); }

int LineEditor::readChar(EditLine* el, wchar_t* c) {
    LineEditor& editor = editorOf(el);
    std::mbstate_t state{};
    for (;;) {
        if (editor.keyBegun_ && !byteWithin(kRestOfKeyMs)) return 0;
        editor.keyBegun_ = true;
        char byte = 0;
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            editor.closed_ = true;
            return 0;
        }
        const std::size_t used = std::mbrtowc(c, &byte, 1, &state);
        if (used == static_cast<std::size_t>(-2)) continue;  // more bytes of one character
        if (used == static_cast<std::size_t>(-1)) {
            state = {};  // no character: dropped
            continue;
        }
        return 1;
    }
}

unsigned char LineEditor::complete(EditLine* el, int) {
    LineEditor& editor = editorOf(el);
    const LineInfo* line = ::el_line(el);
    const std::string before(line->buffer, line->cursor);
    const bool closedAfter = line->cursor < line->lastchar && *line->cursor == '"';
    const detail::Completions& offered = detail::completions();
    const Completion done =
        offered.directory ? completeDirectory(before) : completeWord(before, offered.words);
    if (done.text.empty()) {
        if (done.choices.empty()) return CC_ERROR;
        editor.showChoices(done.choices);
        return CC_NORM;
    }
    // libedit counts characters, the completion bytes.
    const std::size_t characters =
        std::mbstowcs(nullptr, before.substr(before.size() - done.replaced).c_str(), 0);
    if (characters == static_cast<std::size_t>(-1)) return CC_ERROR;
    ::el_deletestr(el, static_cast<int>(characters));
    if (::el_insertstr(el, done.text.c_str()) != 0) return CC_ERROR;
    if (done.quoted && !closedAfter && ::el_insertstr(el, "\"") == 0) ::el_cursor(el, -1);
    return CC_REFRESH;
}

void LineEditor::showChoices(const std::vector<std::string>& choices) {
    hide();
    int width = 0;
    ::el_get(el_, EL_GETTC, "co", &width);
    std::string rows;
    std::size_t used = 0;
    for (const std::string& choice : choices) {
        if (used > 0 && used + 2 + choice.size() > static_cast<std::size_t>(width)) {
            rows += '\n';
            used = 0;
        }
        if (used > 0) {
            rows += "  ";
            used += 2;
        }
        rows += choice;
        used += choice.size();
    }
    writeOut(rows + "\n");
    show();
}

}  // namespace platform::posix
