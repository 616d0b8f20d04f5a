#include "audio/posix/track_table.h"

#include <map>

namespace sound {
namespace {

struct Table {
    std::map<backend::DeviceId, OpenFile> files;
    backend::DeviceId lastId = 0;
};

// Never destroyed: the output's thread may still render a track while std::exit runs the static
// destructors, and the process's end releases everything anyway.
Table& table() {
    static Table* const instance = new Table;
    return *instance;
}

}  // namespace

backend::DeviceId addTrack(OpenFile file) {
    Table& t = table();
    backend::DeviceId id = ++t.lastId;
    if (id == 0) id = ++t.lastId;  // after 2^32 opens: 0 names no device
    t.files[id] = std::move(file);
    return id;
}

Track* findTrack(backend::DeviceId id) {
    auto found = table().files.find(id);
    return found == table().files.end() ? nullptr : found->second.track.get();
}

OpenFile removeTrack(backend::DeviceId id) {
    auto found = table().files.find(id);
    if (found == table().files.end()) return {};
    OpenFile file = std::move(found->second);
    table().files.erase(found);
    return file;
}

}  // namespace sound
