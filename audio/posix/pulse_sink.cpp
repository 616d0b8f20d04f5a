#include "audio/posix/pulse_sink.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <optional>

#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"

namespace sound {
namespace {

// One second queued: the stream's shared memory with the server is part of the player's resident
// memory, and with two seconds it came to half a megabyte more for no audible gain.
constexpr std::uint32_t kTargetBytes = 1u * kRate * kBytesPerFrame;
constexpr std::uint32_t kRequestBytes = kTargetBytes / 4;
// How long the player waits for the server: to connect at the first track, and to answer a
// command (a local server answers in a millisecond). Past that it goes on without the answer.
constexpr pa_usec_t kConnectUsec = 1'000'000;
constexpr pa_usec_t kAnswerUsec = 100'000;
// Between tries to reach a server that went away; and how long the server may ask for nothing
// before the sound counts as stalled (it asks four times a second).
constexpr pa_usec_t kRetryUsec = 1'000'000;
constexpr pa_usec_t kStallUsec = 1'000'000;

// Plain values only: the process may end through std::exit while the stream's thread runs. All
// are read and written with the main loop locked.
pa_threaded_mainloop* loop = nullptr;
pa_context* context = nullptr;
pa_stream* stream = nullptr;
QuavelinRender renderFrames = nullptr;
QuavelinResync resyncOutput = nullptr;
bool established = false;   // the first connection was made: failures from now on are losses
bool answering = true;      // false once an answer was late, until the server is heard again
bool lost = false;          // the server went away; the sound comes back with a new connection
bool trying = false;        // a new connection is under way
bool resyncDue = false;     // the sound was lost: it catches up once a new stream plays
pa_usec_t lastRequest = 0;  // when the server last asked for sound
std::int64_t writeAt = -1;  // where the next write goes in the stream, in bytes; -1: after the rest

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
        pa_seek_mode_t seek = writeAt < 0 ? PA_SEEK_RELATIVE : PA_SEEK_ABSOLUTE;
        if (pa_stream_write(stream, data, size, nullptr, std::max<std::int64_t>(writeAt, 0), seek) != 0)
            return;
        writeAt = -1;
        bytes -= size;
    }
}

// Where the stream is heard now, in bytes from its start, by its last timing update: the server's
// read index less what its sink holds (some 400 ms when nothing else plays), and 10 ms on, the time
// for a change to reach the server. A write there goes behind the read index: the server renders
// again from there. A stream younger than what its sink holds has not been heard yet, and its sink
// can't go back that far: there the read index stands. Nothing when the timing is not known.
std::optional<std::int64_t> changeIndex() {
    constexpr std::int64_t kAheadBytes = std::int64_t{kRate / 100} * kBytesPerFrame;  // 10 ms
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (timing == nullptr || timing->write_index_corrupt != 0 || timing->read_index_corrupt != 0)
        return std::nullopt;
    const auto held = static_cast<std::int64_t>(timing->sink_usec * kRate / 1'000'000) * kBytesPerFrame;
    const std::int64_t heard = held < timing->read_index ? timing->read_index - held : timing->read_index;
    return std::min(timing->write_index, heard + kAheadBytes);
}

// The sound follows the player's clock again from where it is heard, once the server has told
// where that is; without an answer, from a fresh queue.
void onResyncTiming(pa_stream* s, int success, void*) {
    if (s != stream) return;  // an answer about a stream that has gone since
    std::optional<std::int64_t> at = success != 0 ? changeIndex() : std::nullopt;
    if (!at) drop(pa_stream_flush(stream, nullptr, nullptr));
    writeAt = at.value_or(-1);
    resyncOutput();
    write(kTargetBytes);
}

// After a gap of the server's own (stalled, or a new connection), the sound catches up with the
// clock. The callback runs on the stream's thread: it asks for the timing, and never waits.
void playFromTheClock() {
    if (pa_operation* asked = pa_stream_update_timing_info(stream, onResyncTiming, nullptr))
        pa_operation_unref(asked);
    else
        onResyncTiming(stream, 0, nullptr);
}

// While corked the server asks for nothing new; a request still on its way is left for the
// refill that comes with the uncork. After a long silence of the server (stopped, or starved of
// time) what it had queued is old, and a new connection starts afresh: the sound catches up with
// the clock.
void onWritable(pa_stream* s, std::size_t bytes, void*) {
    answering = true;
    pa_usec_t now = pa_rtclock_now();
    bool stalled = lastRequest != 0 && now - lastRequest > kStallUsec;
    lastRequest = now;
    if (pa_stream_is_corked(s) != 0) return;
    if (stalled)
        playFromTheClock();
    else
        write(bytes);
}

// A new connection's stream may start playing a good while after it asked for sound (a server
// that has just started): only then does the sound catch up with the clock.
void onStarted(pa_stream*, void*) {
    if (!resyncDue) return;
    resyncDue = false;
    playFromTheClock();
}

void onDone(pa_stream*, int, void*) { pa_threaded_mainloop_signal(loop, 0); }
void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* passed) {
    *static_cast<bool*>(passed) = true;
    pa_threaded_mainloop_signal(loop, 0);
}

// Waits, locked, until ready() holds or failed() does, or usec have passed: the server may stop
// answering, and the player never waits on it for long.
template <typename Ready, typename Failed>
bool waitFor(Ready ready, Failed failed, pa_usec_t usec) {
    bool passed = false;
    pa_time_event* deadline = pa_context_rttime_new(context, pa_rtclock_now() + usec, onDeadline, &passed);
    bool ok = ready();
    while (!ok && !failed() && !passed && deadline != nullptr) {
        pa_threaded_mainloop_wait(loop);
        ok = ready();
    }
    if (deadline != nullptr) pa_threaded_mainloop_get_api(loop)->time_free(deadline);
    return ok;
}

// Waits, locked and bounded, for the server to carry out operation; a late answer makes the
// next commands go on without waiting, until the server is heard again.
bool await(pa_operation* operation) {
    if (operation == nullptr) return false;
    bool done =
        answering &&
        waitFor([&] { return pa_operation_get_state(operation) == PA_OPERATION_DONE; },
                [&] { return pa_operation_get_state(operation) == PA_OPERATION_CANCELLED; }, kAnswerUsec);
    answering = done;
    pa_operation_unref(operation);
    return done;
}

void lock() { pa_threaded_mainloop_lock(loop); }
void unlock() { pa_threaded_mainloop_unlock(loop); }

void connectStream(pa_stream_flags_t flags);
void tryAgain();

void disconnect() {
    if (stream != nullptr) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_started_callback(stream, nullptr, nullptr);
        pa_stream_unref(stream);
    }
    if (context != nullptr) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    stream = nullptr;
    context = nullptr;
}

void onRetryTime(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void*) {
    api->time_free(event);
    tryAgain();
}

// The connection failed: said once, then tried again about once a second.
void loseServer() {
    if (!lost) std::fputs("quavelin: the sound server has gone; trying to reach it again.\n", stderr);
    lost = true;
    trying = false;
    resyncDue = true;
    lastRequest = 0;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at), kRetryUsec);
    api->time_new(api, &at, onRetryTime, nullptr);
}

void onContextState(pa_context* c, void*) {
    pa_threaded_mainloop_signal(loop, 0);
    if (!established) return;  // the first connection waits for its own states
    pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY && lost) connectStream(PA_STREAM_NOFLAGS);
    if (!PA_CONTEXT_IS_GOOD(state)) loseServer();
}

void onStreamState(pa_stream* s, void*) {
    pa_threaded_mainloop_signal(loop, 0);
    if (!established) return;
    pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY && lost) {
        lost = false;
        trying = false;
        answering = true;
        std::fputs("quavelin: the sound server is back.\n", stderr);
    }
    if (state == PA_STREAM_FAILED || (state == PA_STREAM_TERMINATED && s == stream)) loseServer();
}

// A new connection, whose states carry it on (see onContextState). Never waits.
void tryAgain() {
    if (!lost || trying) return;
    disconnect();
    trying = true;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "quavelin");
    if (context != nullptr) pa_context_set_state_callback(context, onContextState, nullptr);
    if (context == nullptr || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        loseServer();
}

// What is heard plays on for 10 ms more (see changeIndex); what is written next replaces the rest,
// the newest mostFrames at most. Nothing is cut: the fade-out starts where the sound is then.
// (Corking and flushing would stop the sound dead, a click.) A server that does not answer in time
// is flushed: the sound stops, but the command is heard at once.
std::int64_t takeBack(std::int64_t mostFrames) {
    if (lost) return 0;
    std::optional<std::int64_t> at;
    if (await(pa_stream_update_timing_info(stream, onDone, nullptr))) at = changeIndex();
    if (!at) {
        drop(pa_stream_flush(stream, nullptr, nullptr));
        return 0;
    }
    const std::int64_t written = pa_stream_get_timing_info(stream)->write_index;
    writeAt = std::max(*at, written - mostFrames * kBytesPerFrame);
    writeAt -= writeAt % kBytesPerFrame;
    return (written - writeAt) / kBytesPerFrame;
}

void start() {
    if (lost) {
        tryAgain();
        return;
    }
    // The new sound is queued now, in place of what was taken back. A server that does not answer
    // takes nothing more: what it has not read stays bounded.
    if (answering) write(kTargetBytes);
    if (pa_stream_is_corked(stream) != 0) lastRequest = 0;  // asking for nothing while corked is no stall
    drop(pa_stream_cork(stream, 0, nullptr, nullptr));
}

void connectStream(pa_stream_flags_t flags) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, kChannels};
    stream = pa_stream_new(context, "quavelin", &spec, nullptr);
    if (stream == nullptr) return;
    pa_stream_set_state_callback(stream, onStreamState, nullptr);
    pa_stream_set_write_callback(stream, onWritable, nullptr);
    pa_stream_set_started_callback(stream, onStarted, nullptr);
    // No prebuffering: a refilled stream plays as soon as it is uncorked.
    const pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), kTargetBytes, 0, kRequestBytes,
                                static_cast<std::uint32_t>(-1)};
    if (pa_stream_connect_playback(stream, nullptr, &buffer, flags, nullptr, nullptr) < 0) {
        pa_stream_unref(stream);
        stream = nullptr;
    }
}

// The first connection, at the first track: waited for, but no longer than kConnectUsec each.
bool connect() {
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "quavelin");
    if (context == nullptr) return false;
    pa_context_set_state_callback(context, onContextState, nullptr);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    if (!waitFor([] { return pa_context_get_state(context) == PA_CONTEXT_READY; },
                 [] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); }, kConnectUsec))
        return false;
    connectStream(PA_STREAM_START_CORKED);
    return stream != nullptr &&
           waitFor([] { return pa_stream_get_state(stream) == PA_STREAM_READY; },
                   [] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); }, kConnectUsec);
}

}  // namespace

bool openPulseSink(QuavelinRender render, QuavelinResync resync, QuavelinSink& sink) {
    renderFrames = render;
    resyncOutput = resync;
    loop = pa_threaded_mainloop_new();
    if (loop == nullptr) return false;
    bool ready = false;
    {
        // libpulse's own complaints (a missing cookie, an unreadable configuration) stay unseen.
        QuietStderr quiet;
        pa_threaded_mainloop_lock(loop);
        ready = pa_threaded_mainloop_start(loop) == 0 && connect();
        established = ready;
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
