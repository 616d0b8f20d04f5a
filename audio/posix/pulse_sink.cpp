#include "audio/posix/pulse_sink.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "audio/posix/output_format.h"
#include "audio/posix/quiet_stderr.h"
#include "audio/posix/tuning.h"

namespace sound {
namespace {

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
QuavelinRestart restartOutput = nullptr;
int rate = kDefaultRate;        // the stream's, which is its sink's
int serverRate = kDefaultRate;  // the server's own, asked for before the stream is made
bool rewinds = true;            // false on PipeWire, which never plays again what it has read
bool established = false;       // the first connection was made: failures from now on are losses
bool answering = true;          // false once an answer was late, until the server is heard again
bool lost = false;              // the server went away; the sound comes back with a new connection
bool trying = false;            // a new connection is under way
bool resyncDue = false;         // the sound was lost: it catches up once a new stream plays
pa_usec_t lastRequest = 0;      // when the server last asked for sound
std::int64_t written = 0;       // frames written into the stream: the index of the next one
std::int64_t writeAt = -1;      // where the next write goes, in frames; -1: after the rest
double streamVolume = -1;       // the stream's own volume, 0 to 1 of the server's full; -1: unknown

std::int64_t framesOf(pa_usec_t usec) { return static_cast<std::int64_t>(usec * rate / 1'000'000); }

void drop(pa_operation* operation) {
    if (operation != nullptr) pa_operation_unref(operation);
}

// Renders frames of output straight into the stream's own buffers.
void write(std::int64_t frames) {
    while (frames > 0) {
        void* data = nullptr;
        std::size_t size = static_cast<std::size_t>(frames) * kBytesPerFrame;
        if (pa_stream_begin_write(stream, &data, &size) != 0 || data == nullptr) return;
        const auto count = std::min<std::int64_t>(frames, static_cast<std::int64_t>(size / kBytesPerFrame));
        if (count == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        // The stream's buffers are float-aligned: frames are rendered into them directly.
        renderFrames(static_cast<float*>(data), static_cast<std::size_t>(count));
        // Back from the end of what was written to where the new frames go: a seek relative to the
        // write index is what PipeWire's pulse server counts right in what it asks for next.
        const std::int64_t offset = writeAt < 0 ? 0 : (writeAt - written) * kBytesPerFrame;
        if (pa_stream_write(stream, data, static_cast<std::size_t>(count) * kBytesPerFrame, nullptr, offset,
                            PA_SEEK_RELATIVE) != 0)
            return;
        written = (writeAt < 0 ? written : writeAt) + count;
        writeAt = -1;
        frames -= count;
    }
}

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

void onDone(pa_stream*, int, void*) { pa_threaded_mainloop_signal(loop, 0); }

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

// Where the stream is heard, by the server's last timing and the time since: its read index less
// what its sink holds (some 400 ms when nothing else plays). A stream younger than what its sink
// holds has not been heard yet, and its sink can't go back that far: there the read index stands.
// PulseAudio takes back all it has not played, what its sink holds included; PipeWire only what
// it has not read, and it reads a quantum (what its sink holds, at most) at a time.
QuavelinPlayhead playhead(int asked) {
    const QuavelinPlayhead unknown{-1, written};
    if (lost || stream == nullptr) return unknown;
    if (asked != 0 && !await(pa_stream_update_timing_info(stream, onDone, nullptr))) return unknown;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (timing == nullptr || timing->read_index_corrupt != 0) return unknown;
    const std::int64_t since = timing->playing != 0 ? framesOf(pa_timeval_age(&timing->timestamp)) : 0;
    const std::int64_t read = timing->read_index / kBytesPerFrame + since;
    const std::int64_t held = framesOf(timing->sink_usec);
    const std::int64_t heard = read >= held ? read - held : read;
    return {heard, std::min(written, rewinds ? heard : read + held)};
}

void takeBackFrom(std::int64_t from) {
    if (from < written) writeAt = from;
}

// Queues what the server asks to hold. What it held past what was taken back is never heard: with
// the write index moved back it asks for more at once, and that is written over it.
void refill() { write(framesOf(kQueuedMs * 1000)); }

// The sound follows the player's clock again from where it is heard, now that the server has told
// where that is.
void onResyncTiming(pa_stream* s, int, void*) {
    if (s != stream) return;  // an answer about a stream that has gone since
    resyncOutput();
    refill();
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
// time) what it had queued is old: the sound catches up with the clock.
void onWritable(pa_stream* s, std::size_t bytes, void*) {
    answering = true;
    pa_usec_t now = pa_rtclock_now();
    bool stalled = lastRequest != 0 && now - lastRequest > kStallUsec;
    lastRequest = now;
    if (pa_stream_is_corked(s) != 0) return;
    if (stalled)
        playFromTheClock();
    else
        write(static_cast<std::int64_t>(bytes / kBytesPerFrame));
}

// A new connection's stream may start playing a good while after it asked for sound (a server
// that has just started): only then does the sound catch up with the clock.
void onStarted(pa_stream*, void*) {
    if (!resyncDue) return;
    resyncDue = false;
    playFromTheClock();
}

// The stream's volume, as the server has it: asked when the stream is ready and whenever the server
// says it changed (a mixer, or the desktop's bus through the player).
void onSinkInputInfo(pa_context*, const pa_sink_input_info* info, int, void*) {
    if (info != nullptr && stream != nullptr && info->index == pa_stream_get_index(stream))
        streamVolume = static_cast<double>(pa_cvolume_avg(&info->volume)) / PA_VOLUME_NORM;
}

void askVolume() {
    if (stream != nullptr)
        drop(pa_context_get_sink_input_info(context, pa_stream_get_index(stream), onSinkInputInfo, nullptr));
}

void onServerEvent(pa_context*, pa_subscription_event_type_t event, std::uint32_t index, void*) {
    const bool ours = stream != nullptr && index == pa_stream_get_index(stream);
    if (ours && (event & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_CHANGE) askVolume();
}

void watchVolume() {
    pa_context_set_subscribe_callback(context, onServerEvent, nullptr);
    drop(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
    askVolume();
}

double volume() { return lost ? -1 : streamVolume; }

// Called locked: the stream is corked for good (the main loop's thread renders nothing more).
void close() {
    if (stream != nullptr) drop(pa_stream_cork(stream, 1, nullptr, nullptr));
    renderFrames = [](float* out, std::size_t frames) { std::fill(out, out + frames * kChannels, 0.0F); };
}

// Taken at once, as the server will have it: nothing waits for its answer.
void setVolume(double to) {
    if (lost || stream == nullptr) return;
    streamVolume = std::clamp(to, 0.0, 1.0);
    pa_cvolume levels{};
    pa_cvolume_set(&levels, kChannels, static_cast<pa_volume_t>(std::lround(streamVolume * PA_VOLUME_NORM)));
    drop(pa_context_set_sink_input_volume(context, pa_stream_get_index(stream), &levels, nullptr, nullptr));
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

// What the server is (PipeWire's pulse server says so in its name) and the rate it runs at; a new
// connection's stream is made once it is known.
void onServerInfo(pa_context*, const pa_server_info* info, void*) {
    if (info != nullptr) {
        rewinds = info->server_name == nullptr || std::strstr(info->server_name, "PipeWire") == nullptr;
        if (info->sample_spec.rate > 0) serverRate = static_cast<int>(info->sample_spec.rate);
    }
    pa_threaded_mainloop_signal(loop, 0);
    if (established && lost && stream == nullptr) connectStream(PA_STREAM_NOFLAGS);
}

void onContextState(pa_context* c, void*) {
    pa_threaded_mainloop_signal(loop, 0);
    if (!established) return;  // the first connection waits for its own states
    pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY && lost) drop(pa_context_get_server_info(c, onServerInfo, nullptr));
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
        rate = static_cast<int>(pa_stream_get_sample_spec(s)->rate);
        written = 0;
        writeAt = -1;
        restartOutput(rate);
        watchVolume();
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

void start() {
    if (lost) {
        tryAgain();
        return;
    }
    // The new sound is queued now, in place of what was taken back (all of it: what the server
    // holds past the new sound would play after it). A server that does not answer takes nothing
    // more: what it has not read stays bounded.
    if (answering) refill();
    if (pa_stream_is_corked(stream) != 0) lastRequest = 0;  // asking for nothing while corked is no stall
    drop(pa_stream_cork(stream, 0, nullptr, nullptr));
}

// The stream runs at its sink's rate (the server tells it when it is ready), and keeps its timing
// up to date by itself, so that where the sound is heard can be told without asking.
void connectStream(pa_stream_flags_t flags) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(serverRate), kChannels};
    stream = pa_stream_new(context, "quavelin", &spec, nullptr);
    if (stream == nullptr) return;
    pa_stream_set_state_callback(stream, onStreamState, nullptr);
    pa_stream_set_write_callback(stream, onWritable, nullptr);
    pa_stream_set_started_callback(stream, onStarted, nullptr);
    // No prebuffering: a refilled stream plays as soon as it is uncorked.
    auto bytes = [](std::int64_t ms) {
        return static_cast<std::uint32_t>(framesIn(ms, serverRate) * kBytesPerFrame);
    };
    const pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), bytes(kQueuedMs), 0, bytes(kRequestMs),
                                static_cast<std::uint32_t>(-1)};
    flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_FIX_RATE | PA_STREAM_INTERPOLATE_TIMING |
                                           PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream, nullptr, &buffer, flags, nullptr, nullptr) < 0) {
        pa_stream_unref(stream);
        stream = nullptr;
    }
}

// The first connection, at the first track: waited for, but no longer than kConnectUsec each.
PulseAnswer connect() {
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "quavelin");
    if (context == nullptr) return PulseAnswer::None;
    pa_context_set_state_callback(context, onContextState, nullptr);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return PulseAnswer::None;
    // Waited for without an answer, or failed: a server that took the connection and stopped
    // answering is silent, where none at all is none.
    auto answerOf = [](bool ok, bool gone) {
        return ok ? PulseAnswer::Ready : gone ? PulseAnswer::None : PulseAnswer::Silent;
    };
    auto contextGone = [] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); };
    bool ok =
        waitFor([] { return pa_context_get_state(context) == PA_CONTEXT_READY; }, contextGone, kConnectUsec);
    if (!ok) return answerOf(ok, contextGone());
    pa_operation* info = pa_context_get_server_info(context, onServerInfo, nullptr);
    if (info == nullptr) return PulseAnswer::None;
    ok = waitFor([&] { return pa_operation_get_state(info) == PA_OPERATION_DONE; },
                 [&] { return pa_operation_get_state(info) == PA_OPERATION_CANCELLED; }, kConnectUsec);
    pa_operation_unref(info);
    if (!ok) return answerOf(ok, contextGone());
    connectStream(PA_STREAM_START_CORKED);
    if (stream == nullptr) return PulseAnswer::None;
    auto streamGone = [] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); };
    ok = waitFor([] { return pa_stream_get_state(stream) == PA_STREAM_READY; }, streamGone, kConnectUsec);
    if (!ok) return answerOf(ok, streamGone() || contextGone());
    rate = static_cast<int>(pa_stream_get_sample_spec(stream)->rate);
    watchVolume();
    return PulseAnswer::Ready;
}

}  // namespace

PulseAnswer openPulseSink(QuavelinRender render, QuavelinResync resync, QuavelinRestart restart,
                          QuavelinSink& sink) {
    renderFrames = render;
    resyncOutput = resync;
    restartOutput = restart;
    loop = pa_threaded_mainloop_new();
    if (loop == nullptr) return PulseAnswer::None;
    PulseAnswer answer = PulseAnswer::None;
    {
        // libpulse's own complaints (a missing cookie, an unreadable configuration) stay unseen.
        QuietStderr quiet;
        pa_threaded_mainloop_lock(loop);
        if (pa_threaded_mainloop_start(loop) == 0) answer = connect();
        established = answer == PulseAnswer::Ready;
        if (!established) disconnect();
        pa_threaded_mainloop_unlock(loop);
    }
    if (answer != PulseAnswer::Ready) {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return answer;
    }
    sink = QuavelinSink{rate, lock, unlock, playhead, takeBackFrom, start, volume, setVolume, close};
    return answer;
}

}  // namespace sound
