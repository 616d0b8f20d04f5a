#include "audio/posix/pulse_sink.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstddef>

#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"

namespace sound {
namespace {

// One second queued: the stream's shared memory with the server is part of the player's resident
// memory, and with two seconds it came to half a megabyte more for no audible gain.
constexpr std::uint32_t kTargetBytes = 1u * kRate * kBytesPerFrame;
constexpr std::uint32_t kRequestBytes = kTargetBytes / 4;

// Plain values only: the process may end through std::exit while the stream's thread runs.
pa_threaded_mainloop* loop = nullptr;
pa_context* context = nullptr;
pa_stream* stream = nullptr;
QuavelinRender renderFrames = nullptr;

void drop(pa_operation* operation) {
    if (operation != nullptr) pa_operation_unref(operation);
}

// Renders bytes of output straight into the stream's own buffers.
void write(std::size_t bytes) {
    bytes -= bytes % kBytesPerFrame;
    while (bytes > 0) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) != 0 || data == nullptr) return;
        size = std::min(size, bytes);
        size -= size % kBytesPerFrame;
        if (size == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        // The stream's buffers are float-aligned: frames are rendered into them directly.
        renderFrames(static_cast<float*>(data), size / kBytesPerFrame);
        if (pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) != 0) return;
        bytes -= size;
    }
}

// While corked the server asks for nothing new; a request still on its way is left for the
// refill that comes with the uncork.
void onWritable(pa_stream* s, std::size_t bytes, void*) {
    if (pa_stream_is_corked(s) == 0) write(bytes);
}

void onStateChange(void*) { pa_threaded_mainloop_signal(loop, 0); }
void onContextState(pa_context*, void* userdata) { onStateChange(userdata); }
void onStreamState(pa_stream*, void* userdata) { onStateChange(userdata); }
void onDone(pa_stream*, int, void* userdata) { onStateChange(userdata); }
void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* passed) {
    *static_cast<bool*>(passed) = true;
    pa_threaded_mainloop_signal(loop, 0);
}

// Waits, locked, until ready() holds or failed() does, or a while has passed: the server may
// stop answering, and the player never waits on it for long.
template <typename Ready, typename Failed>
bool waitFor(Ready ready, Failed failed) {
    constexpr pa_usec_t kDeadlineUsec = 1'000'000;
    bool passed = false;
    pa_time_event* deadline =
        pa_context_rttime_new(context, pa_rtclock_now() + kDeadlineUsec, onDeadline, &passed);
    bool ok = ready();
    while (!ok && !failed() && !passed && deadline != nullptr) {
        pa_threaded_mainloop_wait(loop);
        ok = ready();
    }
    if (deadline != nullptr) pa_threaded_mainloop_get_api(loop)->time_free(deadline);
    return ok;
}

// Waits, locked and with the same bound, for the server to carry out operation.
bool await(pa_operation* operation) {
    if (operation == nullptr) return false;
    bool done = waitFor([&] { return pa_operation_get_state(operation) == PA_OPERATION_DONE; },
                        [&] { return pa_operation_get_state(operation) == PA_OPERATION_CANCELLED; });
    pa_operation_unref(operation);
    return done;
}

void lock() { pa_threaded_mainloop_lock(loop); }
void unlock() { pa_threaded_mainloop_unlock(loop); }

// The stream stops where it is heard (the cork takes back what the server had mixed ahead), the
// server says how much of what was written is still unplayed, and that is dropped.
std::int64_t takeBack() {
    std::int64_t unplayed = 0;
    if (await(pa_stream_cork(stream, 1, onDone, nullptr)) &&
        await(pa_stream_update_timing_info(stream, onDone, nullptr))) {
        const pa_timing_info* timing = pa_stream_get_timing_info(stream);
        if (timing != nullptr && timing->write_index_corrupt == 0 && timing->read_index_corrupt == 0)
            unplayed = std::max<std::int64_t>(0, (timing->write_index - timing->read_index) / kBytesPerFrame);
    }
    drop(pa_stream_flush(stream, nullptr, nullptr));
    return unplayed;
}

void start() {
    // The server asks for nothing after a flush: the new sound is queued now, before the uncork.
    write(kTargetBytes);
    drop(pa_stream_cork(stream, 0, nullptr, nullptr));
}

bool connect() {
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "quavelin");
    if (context == nullptr) return false;
    pa_context_set_state_callback(context, onContextState, nullptr);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    if (!waitFor([] { return pa_context_get_state(context) == PA_CONTEXT_READY; },
                 [] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); }))
        return false;
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, kChannels};
    stream = pa_stream_new(context, "quavelin", &spec, nullptr);
    if (stream == nullptr) return false;
    pa_stream_set_state_callback(stream, onStreamState, nullptr);
    pa_stream_set_write_callback(stream, onWritable, nullptr);
    // No prebuffering: a refilled stream plays as soon as it is uncorked.
    const pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), kTargetBytes, 0, kRequestBytes,
                                static_cast<std::uint32_t>(-1)};
    if (pa_stream_connect_playback(stream, nullptr, &buffer, PA_STREAM_START_CORKED, nullptr, nullptr) < 0)
        return false;
    return waitFor([] { return pa_stream_get_state(stream) == PA_STREAM_READY; },
                   [] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); });
}

void disconnect() {
    if (stream != nullptr) pa_stream_unref(stream);
    if (context != nullptr) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    stream = nullptr;
    context = nullptr;
}

}  // namespace

bool openPulseSink(QuavelinRender render, QuavelinSink& sink) {
    renderFrames = render;
    loop = pa_threaded_mainloop_new();
    if (loop == nullptr) return false;
    bool ready = false;
    {
        // libpulse's own complaints (a missing cookie, an unreadable configuration) stay unseen.
        QuietStderr quiet;
        pa_threaded_mainloop_lock(loop);
        ready = pa_threaded_mainloop_start(loop) == 0 && connect();
        if (!ready) disconnect();
        pa_threaded_mainloop_unlock(loop);
    }
    if (!ready) {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return false;
    }
    sink = QuavelinSink{lock, unlock, takeBack, start};
    return true;
}

}  // namespace sound
