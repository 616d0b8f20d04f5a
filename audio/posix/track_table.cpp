#include "audio/posix/track_table.h"

#include <map>

namespace sound {
namespace {

struct Table {
    std::map<backend::DeviceId, std::unique_ptr<Track>> tracks;
    backend::DeviceId lastId = 0;
};

// Never destroyed: the audio thread may still render a track while std::exit runs the static
// destructors, and the process's end releases everything anyway.
Table& table() {
    static Table* const instance = new Table;
    return *instance;
}

}  // namespace

backend::DeviceId addTrack(std::unique_ptr<Track> track) {
    Table& t = table();
    backend::DeviceId id = ++t.lastId;
    if (id == 0) id = ++t.lastId;  // after 2^32 opens: 0 names no device
    t.tracks[id] = std::move(track);
    return id;
}

Track* findTrack(backend::DeviceId id) {
    auto found = table().tracks.find(id);
    return found == table().tracks.end() ? nullptr : found->second.get();
}

std::unique_ptr<Track> removeTrack(backend::DeviceId id) {
    auto found = table().tracks.find(id);
    if (found == table().tracks.end()) return nullptr;
    std::unique_ptr<Track> track = std::move(found->second);
    table().tracks.erase(found);
    return track;
}

}  // namespace sound
