#include "engine/volume/pulse_volume.h"

#include <alsa/asoundlib.h>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/volume.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace engine {

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded desktop server, short enough that a hung one does not freeze the UI.
constexpr auto kDeadline = std::chrono::milliseconds(500);
// The loop waits in slices so the deadline is checked even when no event ever arrives.
constexpr long kSliceUs = 10000;

enum class Connection { Ready, Refused, Failed };

// One connection to the server on a private main loop, torn down when the object goes.
class PulseSession {
public:
    PulseSession() {
        m_loop = pa_mainloop_new();
        if (m_loop) m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Ombrelin");
    }

    ~PulseSession() {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop) pa_mainloop_free(m_loop);
    }

    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    pa_context* context() const { return m_context; }

    Connection connect() {
        if (!m_context) return Connection::Failed;
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return failure();
        const bool settled = runUntil([this] {
            const pa_context_state_t state = pa_context_get_state(m_context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (!settled) return Connection::Failed;  // timed out: the server may be hung
        if (pa_context_get_state(m_context) == PA_CONTEXT_READY) return Connection::Ready;
        return failure();
    }

    // Runs the loop until the operation completes; cancels it when the deadline passes first.
    bool finish(pa_operation* op) {
        if (!op) return false;
        const bool done = runUntil([this, op] {
            return pa_operation_get_state(op) != PA_OPERATION_RUNNING ||
                   !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context));
        });
        const bool completed = done && pa_operation_get_state(op) == PA_OPERATION_DONE;
        if (!completed) pa_operation_cancel(op);
        pa_operation_unref(op);
        return completed;
    }

private:
    Connection failure() const {
        return pa_context_errno(m_context) == PA_ERR_CONNECTIONREFUSED ? Connection::Refused
                                                                       : Connection::Failed;
    }

    template <class Done>
    bool runUntil(Done done) {
        const Clock::time_point deadline = Clock::now() + kDeadline;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            const long wait = std::min<long>(kSliceUs, static_cast<long>(left.count()));
            if (pa_mainloop_prepare(m_loop, wait) < 0 || pa_mainloop_poll(m_loop) < 0 ||
                pa_mainloop_dispatch(m_loop) < 0)
                return done();
        }
        return true;
    }

    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
};

void onSinkVolumeSet(pa_context*, int success, void* userdata) {
    *static_cast<bool*>(userdata) = success != 0;
}

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    if (eol == 0 && info && info->volume.channels > 0)
        *static_cast<int64_t*>(userdata) = info->volume.values[0];
}

void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// The first mixer element with a playback volume, "Master" if the mixer has one.
snd_mixer_elem_t* playbackElement(snd_mixer_t* mixer) {
    snd_mixer_elem_t* first = nullptr;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_has_playback_volume(e)) continue;
        if (std::strcmp(snd_mixer_selem_get_name(e), "Master") == 0) return e;
        if (!first) first = e;
    }
    return first;
}

bool setAlsaVolume(uint16_t v) {
    // ALSA reports a missing card or an unknown "default" on stderr; the caller wants silence.
    const snd_lib_error_handler_t previous = snd_lib_error;
    snd_lib_error_set_handler(quietAlsaError);

    bool set = false;
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) == 0) {
        if (snd_mixer_attach(mixer, "default") == 0 &&
            snd_mixer_selem_register(mixer, nullptr, nullptr) == 0 && snd_mixer_load(mixer) == 0) {
            if (snd_mixer_elem_t* elem = playbackElement(mixer)) {
                long min = 0;
                long max = 0;
                if (snd_mixer_selem_get_playback_volume_range(elem, &min, &max) == 0 && max > min) {
                    const long value =
                        min +
                        static_cast<long>((static_cast<int64_t>(max - min) * v + 32767) / 65535);
                    set = snd_mixer_selem_set_playback_volume_all(elem, value) == 0;
                }
            }
        }
        snd_mixer_close(mixer);
    }

    snd_lib_error_set_handler(previous);
    return set;
}

}  // namespace

uint32_t paVolumeForLevel(uint16_t v) {
    return static_cast<uint32_t>((static_cast<uint64_t>(PA_VOLUME_NORM) * v + 65535 / 2) / 65535);
}

int64_t readDefaultSinkVolume() {
    PulseSession session;
    if (session.connect() != Connection::Ready) return -1;
    int64_t volume = -1;
    pa_operation* op =
        pa_context_get_sink_info_by_name(session.context(), "@DEFAULT_SINK@", onSinkInfo, &volume);
    return session.finish(op) ? volume : -1;
}

bool PulseVolume::setWaveVolume(uint32_t word) {
    const uint16_t v =
        std::max(static_cast<uint16_t>(word & 0xFFFF), static_cast<uint16_t>(word >> 16));

    PulseSession session;
    switch (session.connect()) {
        case Connection::Refused:
            return setAlsaVolume(v);
        case Connection::Failed:
            return false;
        case Connection::Ready:
            break;
    }

    // One channel: the server applies it to every channel of the sink, whatever its layout.
    pa_cvolume volume;
    pa_cvolume_set(&volume, 1, paVolumeForLevel(v));
    bool confirmed = false;
    pa_operation* op = pa_context_set_sink_volume_by_name(session.context(), "@DEFAULT_SINK@",
                                                          &volume, onSinkVolumeSet, &confirmed);
    return session.finish(op) && confirmed;
}

}  // namespace engine
