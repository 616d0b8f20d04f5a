// Which directory entries the player takes, and in what order: shared by the POSIX layer and the
// test fake, so both select and sort exactly alike.
#pragma once

#include <span>
#include <string_view>

#include "platform/platform.h"

namespace platform {

bool nameMatches(NamePattern pattern, std::string_view name);

// The order in which the Windows file system delivers names: ASCII letters compared upper-cased,
// then byte by byte so that the order is total.
bool nameBefore(std::string_view a, std::string_view b);

// Keeps the first out.size() matching names in name order while entries are offered one at a
// time, so memory stays fixed however large the directory is.
class NameCollector {
public:
    NameCollector(NamePattern pattern, std::span<NameSlot> out);
    void offer(std::string_view name);
    int finish();  // sorts what was kept; the number of names stored

private:
    NamePattern pattern_;
    std::span<NameSlot> out_;
    std::size_t kept_ = 0;
};

}  // namespace platform
