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

// Fills list from the current directory's MP3 names, in the platform's order.
void scanTracks(TrackList& list);
// 1 when the slot's whole text is the end marker, else 0.
int isEndMarker(const char* slot);
// Scans; returns the count (1 to 50), or -1 after one pass of the "no MP3 here" dialogue.
int loadTracks(TrackList& list);
// Prints the numbered listing, each name without its extension.
void listTracks(TrackList& list);

// Fills list from a search of the current directory, marker after the last name (shared with the
// dir listing, which uses a list of the same shape).
void fillList(TrackList& list, platform::NamePattern pattern);
