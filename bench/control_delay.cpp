// How long a control takes to be heard: plays a steady tone through the audio library to the
// default output while recording that output's monitor in 10 ms pieces, and times each change
// from the call to the first piece that carries it. Changes timed: a slider turned down, a loop
// brought back from volume 0 (it was held), and a new recording started. The figure is an upper
// bound: the change may have arrived anywhere within its 10 ms piece.
//
// usage: control_delay [REPEATS]   (prints "NAME MS..." per change)
#include <pulse/error.h>
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
        const char* sink = std::getenv("CONTROL_DELAY_MONITOR");
        m_pa =
            pa_simple_new(nullptr, "control_delay", PA_STREAM_RECORD, sink ? sink : "test.monitor",
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
    // The time from `from` to the first piece after it whose level passes the test.
    template <typename Test>
    double delayMs(Clock::time_point from, Test passes, double waitS = 2.0) {
        const auto deadline = from + std::chrono::duration<double>(waitS);
        while (Clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const Piece& p : m_pieces) {
                    if (p.at > from && passes(p.rms)) {
                        return std::chrono::duration<double, std::milli>(p.at - from).count();
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

// Every figure in the order measured: the first can differ (the sound server settles a new
// stream's latency in its first seconds).
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
    const auto below = [&](double level) { return [=](double rms) { return rms < level; }; };
    const auto above = [&](double level) { return [=](double rms) { return rms > level; }; };

    std::vector<double> down, back, start;
    const engine::Handle h = audio.BASS_StreamCreateFile(loop, engine::kSampleLoop);
    audio.BASS_ChannelPlay(h, 0);
    for (int i = 0; i < repeats; ++i) {
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 1.0f);
        settle(1.0);
        auto t0 = Clock::now();
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 0.2f);
        down.push_back(monitor.delayMs(t0, below(0.5 * full)));
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
