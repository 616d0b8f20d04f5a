// The tag reader, a module of its own (quavelin-tags.so): TagLib and the shared C++ runtime it
// brings are loaded by the desktop bus's thread when the first track's tags are wanted, never at
// the player's start (the player carries its own runtime, linked in). Plain C types only cross
// between the two runtimes.
#pragma once

#include <cstddef>

extern "C" {

// The fields the bus shows, in the order of its keys.
enum QuavelinTagField {
    kQuavelinTitle,
    kQuavelinArtist,
    kQuavelinAlbum,
    kQuavelinAlbumArtist,
    kQuavelinTrackNumber,
    kQuavelinDiscNumber,
    kQuavelinTagFields
};

// Where the reader hands what it found, while it reads.
struct QuavelinTagSink {
    void* context;
    // One value of a field as UTF-8 (a number as the tag writes it, "3/12"); a field with several
    // values, such as the artists, comes once for each.
    void (*text)(void* context, int field, const char* utf8);
    // The embedded picture (the first, where there are several); its MIME type as the tag names it.
    void (*picture)(void* context, const char* mime, const unsigned char* bytes, std::size_t size);
};

// Reads the tags of the MP3 file at path into sink. An ID3v2 tag larger than largestTag bytes is
// passed over unread (the tags after it are still read). 0 when the file can't be read at all.
using QuavelinReadTags = int (*)(const char* path, std::size_t largestTag, const QuavelinTagSink* sink);
}

namespace platform::bus {

inline constexpr const char* kTagModuleFileName = "quavelin-tags.so";
inline constexpr const char* kTagModuleEntry = "quavelin_read_tags";

}  // namespace platform::bus
