#include "platform/posix/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop_bus.h"
#include "platform/platform.h"
#include "platform/posix/line_editor.h"
#include "platform/posix/stderr_notices.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_text.h"

namespace platform::posix::terminal {
namespace {

void writeOut(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void write(std::string_view bytes) { text_.add(bytes); }
    void flush();
    bool wait(int timeoutMs) { return await(clockMs() + timeoutMs, true); }
    std::size_t read(char* buf, std::size_t size);

private:
    // Waits until a line is entered, the input ends, a call from the desktop's bus waits (when
    // busWakes) or the deadline (none: no limit) passes; false for the deadline.
    bool await(std::optional<std::int64_t> deadline, bool busWakes);
    LineEditor& editor();
    void draw();
    void takeKey();
    void showNotices();
    void seeToSignals();

    TerminalText text_;
    // From the first wait for the user on, the terminal is the editor's; standard error is caught
    // from before it takes the terminal until after it gives it back.
    std::optional<StderrNotices> notices_;
    std::optional<LineEditor> editor_;
    bool drawn_ = false;   // the prompt and the typed text are on the screen
    std::string entered_;  // lines entered and not yet read
    bool ended_ = false;
};

Session::~Session() {
    // The screen ends as a pipe's bytes would, the prompt last; a line typed and not entered (before
    // a Quit from the desktop's bus, a Ctrl-D) is taken off.
    flush();
    if (drawn_) editor_->hide();
    writeOut(text_.prompt());
    editor_.reset();  // the terminal given back
    notices_.reset();
}

LineEditor& Session::editor() {
    if (!editor_) {
        termios original{};
        ::tcgetattr(STDIN_FILENO, &original);
        signals::catchFor(original);
        notices_.emplace();
        editor_.emplace();
    }
    return *editor_;
}

void Session::flush() {
    if (text_.hasNew()) {
        if (drawn_) editor_->hide();
        writeOut(text_.takeLines(drawn_));
        drawn_ = false;
    }
    std::fflush(stdout);
    if (notices_) showNotices();
}

bool Session::await(std::optional<std::int64_t> deadline, bool busWakes) {
    LineEditor& now = editor();
    flush();
    for (;;) {
        if (!entered_.empty() || ended_) return true;
        draw();
        now.saveHistory();
        int timeoutMs = -1;
        if (deadline) timeoutMs = static_cast<int>(std::max<std::int64_t>(*deadline - clockMs(), 0));
        std::array<pollfd, 4> watched{pollfd{STDIN_FILENO, POLLIN, 0},
                                      pollfd{notices_->descriptor(), POLLIN, 0},
                                      pollfd{signals::descriptor(), POLLIN, 0},
                                      pollfd{busWakes ? bus::wakeDescriptor() : -1, POLLIN, 0}};
        const int ready = ::poll(watched.data(), watched.size(), timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;
        // A call from the desktop's bus ends the wait with no typed line to read.
        if (ready > 0 && watched[3].revents != 0) return false;
        if (watched[2].revents != 0) seeToSignals();
        if (watched[1].revents != 0) showNotices();
        // A wait that failed lets the read find out, as the plain input's does.
        if (ready < 0 || watched[0].revents != 0) takeKey();
    }
}

std::size_t Session::read(char* buf, std::size_t size) {
    while (entered_.empty() && !ended_) await(std::nullopt, false);
    const std::size_t taken = std::min(size, entered_.size());
    std::copy_n(entered_.data(), taken, buf);
    entered_.erase(0, taken);
    return taken;
}

void Session::draw() {
    if (drawn_) return;
    editor_->setPrompt(text_.prompt());
    editor_->show();
    drawn_ = true;
}

void Session::takeKey() {
    LineEditor& editor = *editor_;
    LineEditor::Key key = editor.takeKey();
    if (key.kind == LineEditor::Key::Kind::End) ended_ = true;
    if (key.kind != LineEditor::Key::Kind::Entered) return;
    entered_ += key.line;
    text_.promptAnswered();
    drawn_ = false;
    editor.setPrompt({});
    editor.startLine();
}

void Session::showNotices() {
    const std::string lines = notices_->take();
    if (lines.empty()) return;
    if (drawn_) editor_->hide();
    notices_->show(lines);
    if (drawn_) editor_->show();
}

void Session::seeToSignals() {
    if (!signals::continued()) return;
    editor_->takeTerminalAgain();
    // Back from a stop, the line is drawn again where the cursor stands (the shell has moved it on).
    if (drawn_) {
        writeOut("\r\x1b[K");
        editor_->show();
    }
}

Session* session() {
    static const std::unique_ptr<Session> theSession =
        ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1 && movesItsCursor(std::getenv("TERM"))
            ? std::make_unique<Session>()
            : nullptr;
    return theSession.get();
}

}  // namespace

bool movesItsCursor(const char* type) {
    return type != nullptr && *type != '\0' && std::strcmp(type, "dumb") != 0;
}

bool inUse() { return session() != nullptr; }
void write(std::string_view bytes) { session()->write(bytes); }
void flush() { session()->flush(); }
bool wait(int timeoutMs) { return session()->wait(timeoutMs); }
std::size_t read(char* buf, std::size_t size) { return session()->read(buf, size); }

}  // namespace platform::posix::terminal
