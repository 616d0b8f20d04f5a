// Names as a directory search may deliver them, in any order: the collector keeps exactly the
// first matching names in name order, in its fixed slots, whatever the names hold; and the name
// order is a strict total order, so that the same directory always gives the same numbering.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/name_match.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using platform::nameBefore;

void checkOrder(std::string_view a, std::string_view b) {
    FUZZ_REQUIRE(!nameBefore(a, a));
    if (a != b) FUZZ_REQUIRE(nameBefore(a, b) != nameBefore(b, a));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the pattern and the number of slots; names are separated by '/',
    // which no name can hold.
    auto pattern =
        (data[0] & 1) != 0 ? platform::NamePattern::Mp3Files : platform::NamePattern::NamesWithoutDot;
    std::size_t slots = (data[0] >> 1) % 60;
    std::vector<std::string> names;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (std::size_t from = 0; from <= rest.size();) {
        std::size_t slash = std::min(rest.find('/', from), rest.size());
        names.emplace_back(rest.substr(from, slash - from));
        from = slash + 1;
    }

    std::array<platform::NameSlot, 60> out{};
    platform::NameCollector collector(pattern, std::span(out.data(), slots));
    for (const std::string& name : names) collector.offer(name);
    int kept = collector.finish();

    std::vector<std::string> matching;
    for (const std::string& name : names) {
        if (!platform::nameMatches(pattern, name)) continue;
        FUZZ_REQUIRE(!name.empty() && name.size() < platform::kNameBytes);
        FUZZ_REQUIRE(name.find('\0') == std::string::npos);
        if (pattern == platform::NamePattern::Mp3Files) FUZZ_REQUIRE(name.size() >= 4);
        matching.push_back(name);
    }
    std::sort(matching.begin(), matching.end(),
              [](const std::string& a, const std::string& b) { return nameBefore(a, b); });
    for (std::size_t k = 1; k < matching.size(); ++k) checkOrder(matching[k - 1], matching[k]);
    for (std::size_t k = 1; k < names.size(); ++k) checkOrder(names[k - 1], names[k]);

    FUZZ_REQUIRE(kept == static_cast<int>(std::min(slots, matching.size())));
    for (int k = 0; k < kept; ++k) {
        const platform::NameSlot& slot = out[static_cast<std::size_t>(k)];
        FUZZ_REQUIRE(std::find(slot.begin(), slot.end(), '\0') != slot.end());
        FUZZ_REQUIRE(std::string(slot.data()) == matching[static_cast<std::size_t>(k)]);
    }
    for (std::size_t k = slots; k < out.size(); ++k) FUZZ_REQUIRE(out[k][0] == '\0');  // untouched
    return 0;
}
