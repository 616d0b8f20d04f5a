#include "platform/name_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::NamePattern;

TEST(NameMatch, SelectsByPattern) {
    for (const char* name : {"a.mp3", "LIVE.MP3", "c.Mp3", ".mp3", "a.b.mp3", "x.mp3.mp3"})
        EXPECT_TRUE(platform::nameMatches(NamePattern::Mp3Files, name)) << name;
    for (const char* name : {"x.mp3x", "mp3", "a.mp4", "a.mp", "a.wav", "amp3", ".", "..", ""})
        EXPECT_FALSE(platform::nameMatches(NamePattern::Mp3Files, name)) << name;

    for (const char* name : {"README", "Music", ".", "..", "else no"})
        EXPECT_TRUE(platform::nameMatches(NamePattern::NamesWithoutDot, name)) << name;
    for (const char* name : {"x.mp3", "...", ".hidden", "dir.", ""})
        EXPECT_FALSE(platform::nameMatches(NamePattern::NamesWithoutDot, name)) << name;

    // A name must fit a slot with its terminating zero.
    EXPECT_TRUE(platform::nameMatches(NamePattern::Mp3Files, std::string(251, 'a') + ".mp3"));
    EXPECT_FALSE(platform::nameMatches(NamePattern::Mp3Files, std::string(252, 'a') + ".mp3"));
}

TEST(NameMatch, OrdersByUpperCasedAscii) {
    // Upper-casing puts '_' (0x5F) after the letters and '.' before them; equal names up to case
    // still have a fixed order.
    std::vector<std::string> expected = {"a.b",      "A.mp3",   "abc", "B",      "b",
                                         "track 10", "Track 2", "Z",   "_intro", "~end"};
    std::vector<std::string> names = expected;
    std::reverse(names.begin(), names.end());
    std::stable_sort(names.begin(), names.end(), platform::nameBefore);
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(platform::nameBefore("B", "B"));
}

TEST(NameMatch, CollectorKeepsFirstFiftyInOrder) {
    // 55 tracks in a scrambled order among names the pattern rejects: the first 50 by name are kept.
    std::vector<std::string> offered;
    for (int n = 0; n < 55; ++n) {
        std::string number = (n < 10 ? "0" : "") + std::to_string(n);
        offered.push_back((n % 2 ? "track " : "Track ") + number + (n % 3 ? ".mp3" : ".MP3"));
    }
    for (const char* other : {"z.txt", "x.mp3x", ".", "..", "README"}) offered.push_back(other);
    std::shuffle(offered.begin(), offered.end(), std::mt19937(7));

    std::vector<platform::NameSlot> slots(50);
    platform::NameCollector collector(NamePattern::Mp3Files, slots);
    for (const std::string& name : offered) collector.offer(name);
    ASSERT_EQ(collector.finish(), 50);
    for (int n = 0; n < 50; ++n) {
        std::string name = slots[static_cast<std::size_t>(n)].data();
        EXPECT_EQ(name.substr(6, 2), (n < 10 ? "0" : "") + std::to_string(n)) << name;
    }
}

}  // namespace
