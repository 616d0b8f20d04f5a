// The tracks of the current directory: at most 50 names in a fixed block, ended by an in-band
// marker instead of a stored length.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/platform.h"

constexpr int kMaxTracks = 50;
constexpr std::size_t kNameSize = platform::kNameBytes;
// Stands in the slot after the last name, unless all 50 slots hold names.
constexpr std::string_view kEndMarker = "else no";

using TrackList = std::array<platform::NameSlot, kMaxTracks>;

// Fills list from the current directory's MP3 names, in the platform's order, and returns how
// many there are (0 when there are none or the directory can't be searched).
int scanTracks(TrackList& list);
// True when the slot's whole text is the end marker.
bool isEndMarker(const platform::NameSlot& slot);
// The name of slot; slots hold zero-terminated names.
std::string_view nameIn(const platform::NameSlot& slot);
// How a track is shown: its name without the extension (cut at the last '.').
std::string_view trackTitle(std::string_view name);
// Prints the numbered listing, each name without its extension.
void listTracks(const TrackList& list);

// Fills list from a search of the current directory, marker after the last name (shared with the
// dir listing, which uses a list of the same shape); returns how many names it holds.
int fillList(TrackList& list, platform::NamePattern pattern);
