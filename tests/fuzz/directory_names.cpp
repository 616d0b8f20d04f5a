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

using platform::nameBefore;

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
    const auto kept = static_cast<std::size_t>(collector.finish());

    std::vector<std::string> matching;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& name = names[k];
        if (k > 0 && name != names[k - 1])
            FUZZ_REQUIRE(nameBefore(name, names[k - 1]) != nameBefore(names[k - 1], name));
        FUZZ_REQUIRE(!nameBefore(name, name));
        if (!platform::nameMatches(pattern, name)) continue;
        FUZZ_REQUIRE(!name.empty() && name.size() < platform::kNameBytes &&
                     name.find('\0') == std::string::npos);
        matching.push_back(name);
    }
    std::sort(matching.begin(), matching.end(),
              [](const auto& a, const auto& b) { return nameBefore(a, b); });
    FUZZ_REQUIRE(kept == std::min(slots, matching.size()));
    for (std::size_t k = 0; k < out.size(); ++k) {
        FUZZ_REQUIRE(std::find(out[k].begin(), out[k].end(), '\0') != out[k].end());
        FUZZ_REQUIRE(std::string(out[k].data()) == (k < kept ? matching[k] : ""));  // the rest untouched
    }
    return 0;
}
