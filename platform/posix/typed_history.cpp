#include "platform/posix/typed_history.h"

#include <histedit.h>
#include <sys/stat.h>

#include <cerrno>

namespace platform::posix {
namespace {

bool isAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Makes the directories down to the file's own, for the user alone (as the XDG directories are).
void makeFolders(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        if (::mkdir(file.substr(0, slash).c_str(), S_IRWXU) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

std::string historyPath(const char* stateHome, const char* home) {
    // Relative values are no directory at all for XDG, and are passed over.
    if (isAbsolute(stateHome)) return std::string(stateHome) + "/quavelin/history";
    if (isAbsolute(home)) return std::string(home) + "/.local/state/quavelin/history";
    return {};
}

TypedHistory::TypedHistory(std::string path) : history_(::history_init()), path_(std::move(path)) {
    HistEvent event;
    ::history(history_, &event, H_SETSIZE, kHistoryLines);
    ::history(history_, &event, H_SETUNIQUE, 1);
    if (!path_.empty()) ::history(history_, &event, H_LOAD, path_.c_str());
}

TypedHistory::~TypedHistory() {
    save();
    ::history_end(history_);
}

void TypedHistory::add(std::string_view line) {
    if (line.find_first_not_of(" \t\r\v\f") == std::string_view::npos) return;
    HistEvent event;
    ::history(history_, &event, H_ENTER, std::string(line).c_str());
    unsaved_ = true;
}

void TypedHistory::save() {
    if (!unsaved_ || path_.empty()) return;
    unsaved_ = false;
    makeFolders(path_);
    HistEvent event;
    ::history(history_, &event, H_SAVE, path_.c_str());
}

}  // namespace platform::posix
