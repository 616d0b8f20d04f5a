#include "platform/posix/terminal_text.h"

namespace platform::posix {

std::string TerminalText::takeLines(bool promptShown) {
    std::string text = std::move(prompt_);
    prompt_.clear();
    if (promptShown && !text.empty() && !pending_.starts_with('\n')) text += '\n';
    text += pending_;
    pending_.clear();
    const std::size_t lastEnd = text.rfind('\n');
    if (lastEnd == std::string::npos) {
        prompt_ = std::move(text);
        return {};
    }
    prompt_ = text.substr(lastEnd + 1);
    text.resize(lastEnd + 1);
    return text;
}

}  // namespace platform::posix
