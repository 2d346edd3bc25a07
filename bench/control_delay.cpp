// How long a control takes to be heard: plays a steady tone through the audio library to the
// default output while recording that output's monitor in 10 ms pieces, and times each change
// from the call to the first piece that carries it. Changes timed: a slider turned down, a loop
// brought back from volume 0 (it was held), and a new recording started. The figure is an upper
// bound: the change may have arrived anywhere within its 10 ms piece.
//
// The figures are the steady state: the first change is timed only once the tone is heard and
// the sink's reported latency has come down. A null sink with no client renders up to its default
// latency (2 s on PulseAudio) ahead; when the first client asks for a low latency, that silence,
// already rendered, still drains at real time, so without the wait the first change would queue
// behind up to 2 s of it (a sound card's sink rewinds instead).
//
// usage: control_delay [REPEATS]   (prints "NAME MS..." per change)
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio/al_audio_library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kPiece = kRate / 100;

std::string writeTone(const std::string& path, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return "";
    // A whole number of periods of 441 Hz, so the loop joins without a click.
    std::vector<float> frames(static_cast<size_t>(seconds * kRate) * 2);
    for (size_t i = 0; i < frames.size() / 2; ++i) {
        frames[2 * i] = frames[2 * i + 1] =
            0.5f * static_cast<float>(std::sin(2 * M_PI * 441.0 * double(i) / kRate));
    }
    sf_writef_float(f, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
    sf_close(f);
    return path;
}

// The source recorded: the monitor of the benches' sink "test" unless CONTROL_DELAY_MONITOR
// names another.
std::string monitorSource() {
    const char* monitor = std::getenv("CONTROL_DELAY_MONITOR");
    return monitor ? monitor : "test.monitor";
}

struct Piece {
    Clock::time_point at;
    double rms;
};

class Monitor {
public:
    bool start() {
        pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, kRate, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = kPiece * 2 * sizeof(float);
        int error = 0;
        m_pa = pa_simple_new(nullptr, "control_delay", PA_STREAM_RECORD, monitorSource().c_str(),
                             "monitor", &sampleFormat, nullptr, &attr, &error);
        if (!m_pa) {
            std::fprintf(stderr, "no monitor: %s\n", pa_strerror(error));
            return false;
        }
        m_thread = std::thread([this] { run(); });
        return true;
    }
    ~Monitor() {
        m_quit = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_pa) pa_simple_free(m_pa);
    }
    // The time from `from` to the first of `hold` pieces in a row after it whose level passes
    // the test.
    template <typename Test>
    double delayMs(Clock::time_point from, Test passes, int hold = 1, double waitS = 2.0) {
        const auto deadline = from + std::chrono::duration<double>(waitS);
        while (Clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                int run = 0;
                for (size_t i = 0; i < m_pieces.size(); ++i) {
                    const Piece& p = m_pieces[i];
                    if (p.at <= from) continue;
                    run = passes(p.rms) ? run + 1 : 0;
                    if (run == hold) {
                        const Piece& first = m_pieces[i + 1 - size_t(hold)];
                        return std::chrono::duration<double, std::milli>(first.at - from).count();
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return NAN;
    }

private:
    void run() {
        std::vector<float> buf(kPiece * 2);
        while (!m_quit) {
            int error = 0;
            if (pa_simple_read(m_pa, buf.data(), buf.size() * sizeof(float), &error) < 0) return;
            double sum = 0;
            for (float v : buf) sum += double(v) * v;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pieces.push_back({Clock::now(), std::sqrt(sum / double(buf.size()))});
        }
    }
    pa_simple* m_pa = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex;
    std::vector<Piece> m_pieces;
};

void settle(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// The latency a sink reports (what it has rendered ahead of real time) and the latency its
// clients asked for, in ms, through the server's introspection; negative when unknown.
struct Latency {
    double now = -1;
    double configured = -1;
};

class SinkLatency {
public:
    SinkLatency() : m_loop(pa_mainloop_new()) {
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "control_delay latency");
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
        while (PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) &&
               pa_context_get_state(m_context) != PA_CONTEXT_READY) {
            if (pa_mainloop_iterate(m_loop, 1, nullptr) < 0) return;
        }
    }
    ~SinkLatency() {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_mainloop_free(m_loop);
    }
    Latency of(const std::string& sink) {
        Latency latency;
        if (pa_context_get_state(m_context) != PA_CONTEXT_READY) return latency;
        pa_operation* o = pa_context_get_sink_info_by_name(
            m_context, sink.c_str(),
            [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                if (eol != 0 || !info) return;
                *static_cast<Latency*>(data) = {double(info->latency) / 1000,
                                                double(info->configured_latency) / 1000};
            },
            &latency);
        if (!o) return latency;
        while (pa_operation_get_state(o) == PA_OPERATION_RUNNING) {
            if (pa_mainloop_iterate(m_loop, 1, nullptr) < 0) break;
        }
        pa_operation_unref(o);
        return latency;
    }

private:
    pa_mainloop* m_loop;
    pa_context* m_context;
};

// Waits until the monitored sink is no further ahead than its clients asked for (20 ms of slack,
// 50 ms at least), for at most 5 s: from 2 s ahead this takes about 2 s, as the surplus drains
// at real time. Says so on stderr when it could not tell or gave up.
void waitForSteadySink(const std::string& monitor) {
    const std::string suffix = ".monitor";
    if (monitor.size() <= suffix.size() ||
        monitor.compare(monitor.size() - suffix.size(), suffix.size(), suffix) != 0) {
        std::fprintf(stderr, "%s: not a sink's monitor, waited 2.5 s\n", monitor.c_str());
        settle(2.5);  // the longest default latency, drained
        return;
    }
    const std::string sink = monitor.substr(0, monitor.size() - suffix.size());
    SinkLatency probe;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    const auto steady = [](const Latency& l) {
        return l.now >= 0 && l.now <= std::max(50.0, l.configured + 20);
    };
    Latency l = probe.of(sink);
    while (l.now >= 0 && !steady(l) && Clock::now() < deadline) {
        settle(0.05);
        l = probe.of(sink);
    }
    if (l.now < 0) {
        std::fprintf(stderr, "sink %s: latency unknown, waited 2.5 s\n", sink.c_str());
        settle(2.5);
    } else if (!steady(l)) {
        std::fprintf(stderr, "sink %s: still %.0f ms ahead (configured %.0f) after 5 s\n",
                     sink.c_str(), l.now, l.configured);
    }
}

// Every figure in the order measured.
void report(const char* name, const std::vector<double>& ms) {
    std::printf("%s", name);
    for (double v : ms) std::printf(std::isnan(v) ? " never" : " %.0f", v);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char dir[] = "/tmp/control-delay-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string loop = writeTone(std::string(dir) + "/loop.wav", 2.0);
    const std::string once = writeTone(std::string(dir) + "/once.wav", 1.0);
    engine::AlAudioLibrary audio;
    Monitor monitor;
    if (loop.empty() || audio.BASS_Init(-1, kRate, 0, nullptr) == 0 || !monitor.start()) {
        std::fprintf(stderr, "no audio output or no monitor\n");
        return 1;
    }
    const double full = 0.5 / std::sqrt(2.0);  // the tone's RMS at volume 1
    // A slider turned down to 0.2 is heard at about that level, three pieces in a row: a gap in
    // the stream (an underrun on a busy machine) is quieter and short, and would otherwise read
    // as the change.
    const auto turnedDown = [&](double rms) { return rms < 0.5 * full && rms > 0.1 * full; };
    const auto above = [&](double level) { return [=](double rms) { return rms > level; }; };

    std::vector<double> down, back, start;
    const engine::Handle h = audio.BASS_StreamCreateFile(loop, engine::kSampleLoop);
    audio.BASS_ChannelPlay(h, 0);
    waitForSteadySink(monitorSource());
    // And the tone is heard: a first change timed before it sounds would read as instant.
    if (std::isnan(monitor.delayMs(Clock::now() - std::chrono::milliseconds(20), above(0.5 * full),
                                   1, 5.0))) {
        std::fprintf(stderr, "the tone was not heard within 5 s\n");
    }
    for (int i = 0; i < repeats; ++i) {
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 1.0f);
        settle(1.0);
        auto t0 = Clock::now();
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 0.2f);
        down.push_back(monitor.delayMs(t0, turnedDown, 3));
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 0.0f);
        settle(1.0);
        t0 = Clock::now();
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 1.0f);
        back.push_back(monitor.delayMs(t0, above(0.5 * full)));
    }
    audio.BASS_ChannelStop(h);
    for (int i = 0; i < repeats; ++i) {
        settle(1.0);
        const auto t0 = Clock::now();
        const engine::Handle s = audio.BASS_StreamCreateFile(once, 0);
        audio.BASS_ChannelPlay(s, 0);
        start.push_back(monitor.delayMs(t0, above(0.5 * full)));
        settle(1.2);
        audio.BASS_StreamFree(s);
    }
    audio.BASS_Free();
    report("slider_down_ms", down);
    report("loop_back_from_0_ms", back);
    report("recording_start_ms", start);
    unlink(loop.c_str());
    unlink(once.c_str());
    rmdir(dir);
    return 0;
}
