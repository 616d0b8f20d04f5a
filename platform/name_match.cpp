#include "platform/name_match.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool endsWithMp3(std::string_view name) {
    if (name.size() < 4) return false;
    std::string_view tail = name.substr(name.size() - 4);
    return tail[0] == '.' && upper(tail[1]) == 'M' && upper(tail[2]) == 'P' && tail[3] == '3';
}

std::string_view view(const NameSlot& slot) { return std::string_view(slot.data()); }

}  // namespace

bool nameMatches(NamePattern pattern, std::string_view name) {
    if (name.empty() || name.size() >= kNameBytes) return false;
    if (name.find('\0') != std::string_view::npos) return false;
    if (pattern == NamePattern::Mp3Files) return endsWithMp3(name);
    return name == "." || name == ".." || name.find('.') == std::string_view::npos;
}

bool nameBefore(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        auto ua = static_cast<unsigned char>(upper(a[k]));
        auto ub = static_cast<unsigned char>(upper(b[k]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

NameCollector::NameCollector(NamePattern pattern, std::span<NameSlot> out) : pattern_(pattern), out_(out) {}

void NameCollector::offer(std::string_view name) {
    if (out_.empty() || !nameMatches(pattern_, name)) return;
    auto less = [](const NameSlot& x, const NameSlot& y) { return nameBefore(view(x), view(y)); };
    if (kept_ == out_.size()) {
        // Full: out_ is a max-heap on name order; a later name replaces the largest kept one.
        if (!nameBefore(name, view(out_.front()))) return;
        std::pop_heap(out_.begin(), out_.end(), less);
        kept_--;
    }
    NameSlot& slot = out_[kept_++];
    std::memcpy(slot.data(), name.data(), name.size());
    slot[name.size()] = '\0';
    std::push_heap(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(kept_), less);
}

int NameCollector::finish() {
    auto less = [](const NameSlot& x, const NameSlot& y) { return nameBefore(view(x), view(y)); };
    std::sort_heap(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(kept_), less);
    return static_cast<int>(kept_);
}

}  // namespace platform
