#include "platform/posix/track_tags.h"

#include <cstdlib>

#include "platform/posix/own_module.h"
#include "platform/posix/tag_module.h"

namespace platform::bus {
namespace {

// Larger than any cover a tag carries in practice, and small enough that reading it costs little:
// a tag may claim up to 256 MB.
constexpr std::size_t kLargestTag = 4 << 20;

QuavelinReadTags reader() {
    static const QuavelinReadTags loaded = [] {
        std::string failure;
        return reinterpret_cast<QuavelinReadTags>(
            ownModuleEntry(kTagModuleFileName, kTagModuleEntry, failure));
    }();
    return loaded;
}

// "3/12", as ID3v2 writes a track of a total, is track 3.
int leadingNumber(const char* text) {
    long number = std::strtol(text, nullptr, 10);
    return number > 0 && number < 100'000 ? static_cast<int>(number) : 0;
}

void takeText(void* context, int field, const char* utf8) {
    TrackTags& tags = *static_cast<TrackTags*>(context);
    switch (field) {
        case kQuavelinTitle: tags.title = utf8; break;
        case kQuavelinArtist: tags.artists.emplace_back(utf8); break;
        case kQuavelinAlbum: tags.album = utf8; break;
        case kQuavelinAlbumArtist: tags.albumArtists.emplace_back(utf8); break;
        case kQuavelinTrackNumber: tags.trackNumber = leadingNumber(utf8); break;
        case kQuavelinDiscNumber: tags.discNumber = leadingNumber(utf8); break;
        default: break;
    }
}

void takePicture(void* context, const char* mime, const unsigned char* bytes, std::size_t size) {
    TrackTags& tags = *static_cast<TrackTags*>(context);
    tags.picture.assign(reinterpret_cast<const char*>(bytes), size);
    tags.pictureMime = mime;
}

}  // namespace

TrackTags readTrackTags(const std::string& path) {
    TrackTags tags;
    QuavelinTagSink sink{&tags, takeText, takePicture};
    if (QuavelinReadTags read = reader(); read == nullptr || read(path.c_str(), kLargestTag, &sink) == 0)
        return {};
    return tags;
}

}  // namespace platform::bus
