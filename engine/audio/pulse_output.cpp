#include "engine/audio/pulse_output.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>

namespace engine {
namespace {

// How long opening waits for the server: a loaded desktop's server answers well within it, a
// hung one must not hold the caller (the UI at start, the feeder when the server comes back).
constexpr pa_usec_t kAnswerDeadlineUs =
    static_cast<pa_usec_t>(PulseOutput::kAnswerDeadline.count()) * PA_USEC_PER_MSEC;
// The rate asked for when the sink's own cannot be read.
constexpr uint32_t kFallbackRate = 48000;

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

// Waits on the loop (its lock held) until `done` holds or the deadline has passed.
struct Waiter {
    pa_threaded_mainloop* loop;
    bool late = false;

    template <typename Done>
    bool until(Done done) {
        while (!done()) {
            if (late) return false;
            pa_threaded_mainloop_wait(loop);
        }
        return true;
    }
};

void wakeWaiter(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }
void onContextState(pa_context*, void* loop) {
    wakeWaiter(static_cast<pa_threaded_mainloop*>(loop));
}
void onStreamState(pa_stream*, void* loop) { wakeWaiter(static_cast<pa_threaded_mainloop*>(loop)); }
void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* waiter) {
    auto* w = static_cast<Waiter*>(waiter);
    w->late = true;
    wakeWaiter(w->loop);
}

struct SinkRate {
    pa_threaded_mainloop* loop;
    uint32_t rate = 0;
    bool done = false;
};

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* s = static_cast<SinkRate*>(data);
    if (info && !s->rate) s->rate = info->sample_spec.rate;
    if (eol != 0 || !info) {
        s->done = true;
        wakeWaiter(s->loop);
    }
}

}  // namespace

std::unique_ptr<PulseOutput> PulseOutput::open(std::chrono::milliseconds latency,
                                               std::chrono::milliseconds request,
                                               bool& unanswered) {
    unanswered = false;
    std::unique_ptr<PulseOutput> out(new PulseOutput);
    out->m_loop = pa_threaded_mainloop_new();
    if (!out->m_loop) return nullptr;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Ombrelin");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "ombrelin");
    // No media role: the servers' stream restore would key the saved sink and volume on it and
    // share them with every other music player, pinning the soundscape to a sink one of them
    // was once moved to instead of following the default output.
    out->m_context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(out->m_loop), "Ombrelin", props);
    pa_proplist_free(props);
    if (!out->m_context || pa_threaded_mainloop_start(out->m_loop) < 0) return nullptr;

    bool ready = false;
    {
        LoopLock lock(out->m_loop);
        pa_context* context = out->m_context;
        Waiter waiter{out->m_loop};
        pa_time_event* deadline = pa_context_rttime_new(
            context, pa_rtclock_now() + kAnswerDeadlineUs, onDeadline, &waiter);
        pa_context_set_state_callback(context, onContextState, out->m_loop);
        ready = pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
                waiter.until([context] {
                    const pa_context_state_t state = pa_context_get_state(context);
                    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
                }) &&
                pa_context_get_state(context) == PA_CONTEXT_READY;

        // Mixed at the sink's own rate, so the server resamples nothing.
        SinkRate sink{out->m_loop};
        if (ready) {
            if (pa_operation* o = pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@",
                                                                   onSinkInfo, &sink)) {
                waiter.until([&sink] { return sink.done; });
                // A reply after the deadline must not reach `sink`, gone by then.
                if (!sink.done) pa_operation_cancel(o);
                pa_operation_unref(o);
            }
        }
        const uint32_t rate = sink.rate >= 8000 && sink.rate <= 192000 ? sink.rate : kFallbackRate;

        if (ready) {
            const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, rate, 2};
            pa_channel_map map;
            pa_channel_map_init_stereo(&map);
            out->m_stream = pa_stream_new(context, "Soundscape", &format, &map);
            ready = out->m_stream != nullptr;
        }
        if (ready) {
            pa_stream* stream = out->m_stream;
            const pa_sample_spec& format = *pa_stream_get_sample_spec(stream);
            const auto us = [](std::chrono::milliseconds ms) {
                return static_cast<pa_usec_t>(ms.count()) * PA_USEC_PER_MSEC;
            };
            // The server splits the latency between its own buffer and this stream's, and asks
            // for `request` at a time.
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(us(latency), &format));
            attr.prebuf = static_cast<uint32_t>(-1);
            attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(us(request), &format));
            attr.fragsize = static_cast<uint32_t>(-1);
            pa_stream_set_state_callback(stream, onStreamState, out->m_loop);
            pa_stream_set_write_callback(stream, onWrite, out.get());
            pa_stream_set_underflow_callback(stream, onUnderflow, out.get());
            const auto flags =
                static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
            ready =
                pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0 &&
                waiter.until([stream] {
                    const pa_stream_state_t state = pa_stream_get_state(stream);
                    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                }) &&
                pa_stream_get_state(stream) == PA_STREAM_READY;
            if (ready) out->m_rate = format.rate;
            // The going-idle cork waits for what is buffered to be heard: the server may grant
            // more than was asked for, so the longer of the two.
            out->m_latency = us(latency);
            out->m_request = us(request);
            if (const pa_buffer_attr* granted = ready ? pa_stream_get_buffer_attr(stream) : nullptr)
                out->m_latency =
                    std::max(out->m_latency, pa_bytes_to_usec(granted->tlength, &format));
        }
        pa_threaded_mainloop_get_api(out->m_loop)->time_free(deadline);
        // A server that is not there fails the connect at once; only one that was reached and
        // then kept silent lets the deadline pass.
        unanswered = !ready && waiter.late;
    }
    if (!ready) return nullptr;
    return out;
}

PulseOutput::~PulseOutput() {
    if (!m_loop) return;
    pa_threaded_mainloop_stop(m_loop);  // no callback runs from here on
    if (m_corkDue) pa_threaded_mainloop_get_api(m_loop)->time_free(m_corkDue);
    if (m_stream) {
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    pa_threaded_mainloop_free(m_loop);
}

void PulseOutput::setRender(Render render) {
    LoopLock lock(m_loop);
    m_render = std::move(render);
}

void PulseOutput::onWrite(pa_stream* /*stream*/, size_t /*bytes*/, void* data) {
    static_cast<PulseOutput*>(data)->fill();
}

// Renders all the server has asked for, in the pieces of its memory libpulse hands out. Called
// on the loop thread or with its lock held.
void PulseOutput::fill() {
    pa_stream* stream = m_stream;
    if (!m_render || !stream) return;  // what is asked for meanwhile is written at the uncork
    size_t wanted = pa_stream_writable_size(stream);
    if (wanted == static_cast<size_t>(-1)) return;
    const size_t frameBytes = 2 * sizeof(float);
    wanted -= wanted % frameBytes;
    while (wanted > 0) {
        void* buffer = nullptr;
        size_t bytes = wanted;
        if (pa_stream_begin_write(stream, &buffer, &bytes) < 0 || !buffer) return;
        bytes = std::min(bytes, wanted);
        bytes -= bytes % frameBytes;
        if (bytes == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        m_render(static_cast<float*>(buffer), bytes / frameBytes);
        if (pa_stream_write(stream, buffer, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        wanted -= bytes;
    }
}

// Going idle corks only once what was mixed before has been heard: until then the stream keeps
// playing (the mix is silent by now), so the tail of the last sound is not cut off. Coming back
// drops that silence from the server's buffer, so the new sound starts at once.
void PulseOutput::setCorked(bool corked) {
    LoopLock lock(m_loop);
    if (!m_stream || !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) return;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    if (corked) {
        if (m_corked || m_corkDue) return;
        m_corkDue = pa_context_rttime_new(m_context, pa_rtclock_now() + m_latency + kCorkMarginUs,
                                          onCorkDue, this);
        return;
    }
    if (m_corkDue) {
        api->time_free(m_corkDue);
        m_corkDue = nullptr;
    }
    if (!m_corked) return;
    m_corked = false;
    m_uncorkedAt = pa_rtclock_now();
    if (pa_operation* o = pa_stream_flush(m_stream, nullptr, nullptr)) pa_operation_unref(o);
    if (pa_operation* o = pa_stream_cork(m_stream, 0, nullptr, nullptr)) pa_operation_unref(o);
    fill();  // what was asked for while the render was not set yet; the flushed part follows
}

void PulseOutput::onCorkDue(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                            void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    api->time_free(event);
    self->m_corkDue = nullptr;
    self->m_corked = true;
    if (pa_operation* o = pa_stream_cork(self->m_stream, 1, nullptr, nullptr)) {
        pa_operation_unref(o);
    }
}

// The stream ran dry: the machine is so busy that the loop thread did not get to run for longer
// than the buffer lasts. A background player must not stutter, so from then on the buffer is
// half as large again (up to kMaxLatencyUs): the controls take longer to be heard on such a
// machine, the sound plays on. The server keeps asking for the same slices, and keeps the extra
// in its own buffer.
void PulseOutput::onUnderflow(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    // The server reports one as a stream starts or comes back from a cork: not a starved loop.
    if (self->m_corked || self->m_latency >= kMaxLatencyUs ||
        pa_rtclock_now() < self->m_uncorkedAt + kSettleUs) {
        return;
    }
    self->m_latency = std::min(self->m_latency * 3 / 2, kMaxLatencyUs);
    const pa_sample_spec& format = *pa_stream_get_sample_spec(stream);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(self->m_latency, &format));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(self->m_request, &format));
    attr.fragsize = static_cast<uint32_t>(-1);
    if (pa_operation* o = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr)) {
        pa_operation_unref(o);
    }
}

bool PulseOutput::connected() {
    LoopLock lock(m_loop);
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) && m_stream &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

}  // namespace engine
