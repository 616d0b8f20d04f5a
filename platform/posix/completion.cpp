#include "platform/posix/completion.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace platform::posix {
namespace {

// The blanks that end a word for the player's reads.
constexpr std::string_view kBlanks = " \t\n\r\v\f";

std::string_view lastWord(std::string_view before) {
    const std::size_t blank = before.find_last_of(kBlanks);
    return blank == std::string_view::npos ? before : before.substr(blank + 1);
}

// The beginning the candidates share (they are not empty).
std::string_view sharedStart(const std::vector<std::string>& candidates) {
    std::string_view shared = candidates.front();
    for (std::string_view candidate : candidates) {
        std::size_t k = 0;
        while (k < shared.size() && k < candidate.size() && shared[k] == candidate[k]) ++k;
        shared = shared.substr(0, k);
    }
    return shared;
}

bool isDirectory(const std::string& path, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The directories in folder (empty: the current one) whose names begin with start, sorted. Hidden
// ones only when start asks for them; none whose name the player could not read back (a double
// quote ends a quoted answer, a line end any answer).
std::vector<std::string> directoriesIn(const std::string& folder, std::string_view start) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.empty() ? "." : folder.c_str()),
                                                      ::closedir);
    if (!listing) return names;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !name.starts_with(start)) continue;
        if (name.starts_with('.') && !start.starts_with('.')) continue;
        if (name.find_first_of("\"\n") != std::string_view::npos) continue;
        if (isDirectory(folder + std::string(name), *entry)) names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Completion replacing(std::size_t replaced, std::string text, bool quoted = false) {
    Completion completion;
    completion.replaced = replaced;
    completion.text = std::move(text);
    completion.quoted = quoted;
    return completion;
}

Completion choosing(std::vector<std::string> choices) {
    Completion completion;
    completion.choices = std::move(choices);
    return completion;
}

}  // namespace

Completion completeWord(std::string_view before, const std::vector<std::string>& words) {
    const std::string_view typed = lastWord(before);
    std::vector<std::string> found;
    for (const std::string& word : words)
        if (word.starts_with(typed)) found.push_back(word);
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    if (found.size() == 1) return replacing(typed.size(), found.front() + " ");
    const std::string_view shared = sharedStart(found);
    if (shared.size() > typed.size()) return replacing(typed.size(), std::string(shared));
    return choosing(std::move(found));
}

Completion completeDirectory(std::string_view before) {
    // Inside an open quote the answer runs from it to the cursor, blanks and all; otherwise it is the
    // word before the cursor.
    const bool inQuotes = std::count(before.begin(), before.end(), '"') % 2 == 1;
    const std::string_view typed = inQuotes ? before.substr(before.rfind('"') + 1) : lastWord(before);
    const std::size_t slash = typed.rfind('/');
    const std::string folder(slash == std::string_view::npos ? std::string_view()
                                                             : typed.substr(0, slash + 1));
    const std::string_view start = typed.substr(folder.size());

    std::vector<std::string> found = directoriesIn(folder, start);
    if (found.empty()) return {};
    const std::string_view shared = sharedStart(found);
    if (found.size() > 1 && shared.size() == start.size()) return choosing(std::move(found));
    const std::string path = folder + (found.size() == 1 ? found.front() + "/" : std::string(shared));
    const bool quoted = inQuotes || path.find_first_of(kBlanks) != std::string::npos;
    return replacing(typed.size() + (inQuotes ? 1 : 0), (quoted ? "\"" : "") + path, quoted);
}

}  // namespace platform::posix
