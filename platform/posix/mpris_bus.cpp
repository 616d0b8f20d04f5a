// The player as an MPRIS media player on the session bus, through sd-bus. One thread of its own owns
// the connection: it answers property reads from the last published status, queues commands for
// the playback loop (a pipe, readable while one waits, wakes the loop's wait for input), and
// announces what the loop publishes. The player's thread only takes a lock for a copy and writes
// to pipes that never block, so a bus that is missing, refuses or hangs never makes it wait.
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <future>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/desktop_bus.h"
#include "platform/platform.h"
#include "platform/posix/track_metadata.h"

namespace platform::bus {
namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kName = "org.mpris.MediaPlayer2.quavelin";
// Commands beyond these, while the player asks a question, are refused rather than piled up.
constexpr std::size_t kMostCalls = 8;
constexpr std::uint32_t kNameTaken = 3;  // the bus's answer to a request for a name someone holds

struct Shared {
    std::mutex mutex;
    Status status;
    unsigned seeks = 0;  // one more at every published seek
    std::deque<Call> calls;
    bool ending = false;
};

Shared shared;
std::array<int, 2> wake{-1, -1};   // readable while a command waits (the loop's)
std::array<int, 2> nudge{-1, -1};  // readable after a publication or the end (the bus thread's)
std::thread worker;
std::future<void> finished;

void poke(int fd) {
    if (fd < 0) return;
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);  // a full pipe is awake already
}

void drain(int fd) {
    std::array<char, 64> bytes{};
    while (::read(fd, bytes.data(), bytes.size()) > 0) {
    }
}

Status snapshot() {
    std::lock_guard lock(shared.mutex);
    return shared.status;
}

std::int64_t positionUs(const Status& status) {
    std::int64_t played = status.playedMs;
    if (status.playback != Playback::Paused) played += platform::clockMs() - status.atMs;
    return std::clamp<std::int64_t>(played, 0, status.lengthMs) * 1000;
}

// The bus's words for the states, in the order of their enums.
constexpr std::array<const char*, 3> kPlaybackNames{"Playing", "Paused", "Stopped"};
constexpr std::array<const char*, 3> kLoopNames{"Playlist", "Track", "None"};

const char* playbackName(Playback playback) { return kPlaybackNames.at(static_cast<std::size_t>(playback)); }
const char* loopName(Loop loop) { return kLoopNames.at(static_cast<std::size_t>(loop)); }

// ---- Commands in: each answered at once, and queued for the loop ----

int queue(const Call& call, sd_bus_error* error) {
    std::lock_guard lock(shared.mutex);
    if (shared.calls.size() >= kMostCalls)
        return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED, "the player is busy; try again");
    shared.calls.push_back(call);
    poke(wake[1]);
    return 0;
}

int reply(sd_bus_message* message, const Call& call, sd_bus_error* error) {
    int result = queue(call, error);
    return result < 0 ? result : sd_bus_reply_method_return(message, "");
}

template <Call::Kind kind>
int plainCall(sd_bus_message* message, void*, sd_bus_error* error) {
    return reply(message, Call{.kind = kind}, error);
}

int onSeek(sd_bus_message* message, void*, sd_bus_error* error) {
    std::int64_t offset = 0;
    if (int r = sd_bus_message_read(message, "x", &offset); r < 0) return r;
    return reply(message, Call{.kind = Call::Kind::Seek, .us = offset}, error);
}

// The slot a track id names, only when it is exactly as published (".../track/7", not ".../07");
// -1 for any other.
int slotOf(std::string_view id) {
    std::string_view digits = id.substr(std::min(id.size(), kTrackPath.size()));
    if (!id.starts_with(kTrackPath) || digits.empty() || digits.size() > 2 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return -1;
    int slot = std::stoi(std::string(digits));
    return trackId(slot) == id ? slot : -1;
}

int onSetPosition(sd_bus_message* message, void*, sd_bus_error* error) {
    const char* track = nullptr;
    std::int64_t position = 0;
    if (int r = sd_bus_message_read(message, "ox", &track, &position); r < 0) return r;
    return reply(message, Call{.kind = Call::Kind::SetPosition, .us = position, .slot = slotOf(track)},
                 error);
}

int onOpenUri(sd_bus_message*, void*, sd_bus_error* error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "the player plays its own directory");
}

int onRaise(sd_bus_message* message, void*, sd_bus_error*) { return sd_bus_reply_method_return(message, ""); }

int setLoop(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*,
            sd_bus_error* error) {
    const char* name = nullptr;
    if (int r = sd_bus_message_read(value, "s", &name); r < 0) return r;
    const auto* found = std::find_if(kLoopNames.begin(), kLoopNames.end(),
                                     [&](const char* word) { return std::string_view(word) == name; });
    if (found == kLoopNames.end())
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "LoopStatus is None, Track or Playlist");
    return queue(Call{.kind = Call::Kind::SetLoop, .loop = static_cast<Loop>(found - kLoopNames.begin())},
                 error);
}

int setShuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*,
               sd_bus_error* error) {
    int on = 0;
    if (int r = sd_bus_message_read(value, "b", &on); r < 0) return r;
    return queue(Call{.kind = Call::Kind::SetShuffle, .on = on != 0}, error);
}

// Writable only while the output has a volume of its own; a value below 0 is 0, above 1 is 1.
int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*,
              sd_bus_error* error) {
    double volume = 0;
    if (int r = sd_bus_message_read(value, "d", &volume); r < 0) return r;
    if (snapshot().volume < 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_PROPERTY_READ_ONLY,
                                "the sound output has no volume of its own");
    if (std::isnan(volume)) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "Volume is a number");
    return queue(Call{.kind = Call::Kind::SetVolume, .volume = std::clamp(volume, 0.0, 1.0)}, error);
}

// ---- State out ----

// Reads of the properties; userdata is the track's metadata, which only this thread touches.
int getStatus(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
              sd_bus_error*) {
    Status status = snapshot();
    std::string_view name(property);
    if (name == "PlaybackStatus") return sd_bus_message_append(reply, "s", playbackName(status.playback));
    if (name == "LoopStatus") return sd_bus_message_append(reply, "s", loopName(status.loop));
    if (name == "Shuffle") return sd_bus_message_append(reply, "b", static_cast<int>(status.shuffle));
    if (name == "Position") return sd_bus_message_append(reply, "x", positionUs(status));
    if (name == "Volume") return sd_bus_message_append(reply, "d", status.volume < 0 ? 1.0 : status.volume);
    return static_cast<TrackMetadata*>(userdata)->append(reply, status);
}

template <bool value>
int getFlag(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", static_cast<int>(value));
}

int getOne(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
}

int getIdentity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "quavelin");
}

int getNone(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 0);
}

constexpr auto kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
constexpr auto kConst = SD_BUS_VTABLE_PROPERTY_CONST;

const sd_bus_vtable kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", onRaise, 0),
    SD_BUS_METHOD("Quit", "", "", plainCall<Call::Kind::Quit>, 0),
    SD_BUS_PROPERTY("CanQuit", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", getFlag<false>, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", getFlag<false>, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", getIdentity, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", getNone, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", getNone, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", plainCall<Call::Kind::Next>, 0),
    SD_BUS_METHOD("Previous", "", "", plainCall<Call::Kind::Previous>, 0),
    SD_BUS_METHOD("Pause", "", "", plainCall<Call::Kind::Pause>, 0),
    SD_BUS_METHOD("PlayPause", "", "", plainCall<Call::Kind::PlayPause>, 0),
    SD_BUS_METHOD("Stop", "", "", plainCall<Call::Kind::Stop>, 0),
    SD_BUS_METHOD("Play", "", "", plainCall<Call::Kind::Play>, 0),
    SD_BUS_METHOD("Seek", "x", "", onSeek, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", onSetPosition, 0),
    SD_BUS_METHOD("OpenUri", "s", "", onOpenUri, 0),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", getStatus, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("LoopStatus", "s", getStatus, setLoop, 0, kChanges),
    SD_BUS_PROPERTY("Rate", "d", getOne, 0, kConst),
    SD_BUS_WRITABLE_PROPERTY("Shuffle", "b", getStatus, setShuffle, 0, kChanges),
    SD_BUS_PROPERTY("Metadata", "a{sv}", getStatus, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", getStatus, setVolume, 0, kChanges),
    SD_BUS_PROPERTY("Position", "x", getStatus, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", getOne, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", getOne, 0, kConst),
    SD_BUS_PROPERTY("CanGoNext", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanGoPrevious", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanPlay", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanPause", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanSeek", "b", getFlag<true>, 0, kConst),
    SD_BUS_PROPERTY("CanControl", "b", getFlag<true>, 0, kConst),
    SD_BUS_VTABLE_END,
};

// The properties that differ between two statuses (the position is no property that announces).
std::vector<const char*> changedProperties(const Status& before, const Status& now) {
    std::vector<const char*> changed;
    if (now.playback != before.playback) changed.push_back("PlaybackStatus");
    if (now.loop != before.loop) changed.push_back("LoopStatus");
    if (now.shuffle != before.shuffle) changed.push_back("Shuffle");
    if (now.volume != before.volume) changed.push_back("Volume");
    if (now.slot != before.slot || now.path != before.path || now.title != before.title ||
        now.lengthMs != before.lengthMs)
        changed.push_back("Metadata");
    return changed;
}

// Announces what changed since the last announcement: the properties, and a jump of the position.
void announce(sd_bus* bus, Status& announced, unsigned& announcedSeeks) {
    Status now;
    unsigned seeks = 0;
    {
        std::lock_guard lock(shared.mutex);
        now = shared.status;
        seeks = shared.seeks;
    }
    std::vector<const char*> changed = changedProperties(announced, now);
    if (!changed.empty()) {
        changed.push_back(nullptr);
        sd_bus_emit_properties_changed_strv(bus, kPath, kPlayer, const_cast<char**>(changed.data()));
    }
    if (seeks != announcedSeeks) sd_bus_emit_signal(bus, kPath, kPlayer, "Seeked", "x", positionUs(now));
    announced = now;
    announcedSeeks = seeks;
}

// A second player takes a name of its own; it never waits in the queue for the common one.
int onNameReply(sd_bus_message* message, void*, sd_bus_error*) {
    std::uint32_t answer = 0;
    if (sd_bus_message_is_method_error(message, nullptr) || sd_bus_message_read(message, "u", &answer) < 0 ||
        answer != kNameTaken)
        return 0;
    std::string instance = std::string(kName) + ".instance" + std::to_string(::getpid());
    sd_bus_request_name_async(sd_bus_message_get_bus(message), nullptr, instance.c_str(), 0, nullptr,
                              nullptr);
    return 0;
}

int waitMs(sd_bus* bus) {
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) < 0 || until == UINT64_MAX) return -1;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    auto nowUs =
        static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
    return until <= nowUs ? 0
                          : static_cast<int>(std::min<std::uint64_t>((until - nowUs + 999) / 1000, 60'000));
}

// Serves the bus until the player ends or the connection fails; a dropped connection is let go.
void serve() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return;
    TrackMetadata metadata;
    if (sd_bus_add_object_vtable(bus, nullptr, kPath, kRoot, kRootTable, nullptr) >= 0 &&
        sd_bus_add_object_vtable(bus, nullptr, kPath, kPlayer, kPlayerTable, &metadata) >= 0 &&
        sd_bus_request_name_async(bus, nullptr, kName, 0, onNameReply, nullptr) >= 0) {
        Status announced = snapshot();
        unsigned announcedSeeks = 0;
        for (;;) {
            int processed = 0;
            while ((processed = sd_bus_process(bus, nullptr)) > 0) {
            }
            if (processed < 0) break;
            int fd = sd_bus_get_fd(bus), events = sd_bus_get_events(bus);
            if (fd < 0 || events < 0) break;
            std::array<pollfd, 2> fds{pollfd{fd, static_cast<short>(events), 0}, pollfd{nudge[0], POLLIN, 0}};
            if (::poll(fds.data(), fds.size(), waitMs(bus)) < 0 && errno != EINTR) break;
            if (fds[1].revents != 0) {
                drain(nudge[0]);
                {
                    std::lock_guard lock(shared.mutex);
                    if (shared.ending) break;
                }
                announce(bus, announced, announcedSeeks);
            }
        }
    }
    sd_bus_close_unref(bus);
}

}  // namespace

void open() {
    if (worker.joinable()) return;
    if (::pipe2(wake.data(), O_NONBLOCK | O_CLOEXEC) != 0) return;
    if (::pipe2(nudge.data(), O_NONBLOCK | O_CLOEXEC) != 0) return;
    std::promise<void> done;
    finished = done.get_future();
    worker = std::thread([done = std::move(done)]() mutable {
        serve();
        done.set_value();
    });
}

void close() {
    if (!worker.joinable()) return;
    {
        std::lock_guard lock(shared.mutex);
        shared.ending = true;
    }
    poke(nudge[1]);
    // The thread never blocks but in its poll, which the nudge ends; should it not end in time, the
    // process ends without it.
    if (finished.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready)
        worker.join();
    else
        worker.detach();
}

void publish(const Status& status) {
    bool news = status.seeked;
    {
        std::lock_guard lock(shared.mutex);
        news = news || !changedProperties(shared.status, status).empty();
        shared.status = status;
        if (status.seeked) ++shared.seeks;
    }
    // The bus thread wakes only for something to announce.
    if (news) poke(nudge[1]);
}

bool callWaiting() {
    std::lock_guard lock(shared.mutex);
    return !shared.calls.empty();
}

bool takeCall(Call& call) {
    std::lock_guard lock(shared.mutex);
    if (shared.calls.empty()) return false;
    call = shared.calls.front();
    shared.calls.pop_front();
    if (shared.calls.empty()) drain(wake[0]);
    return true;
}

int wakeDescriptor() { return wake[0]; }

}  // namespace platform::bus
