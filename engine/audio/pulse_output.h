// The audio library's output on a PulseAudio server (PipeWire's pulse server too): one stereo
// float playback stream at the rate of the sink it plays on, filled on libpulse's own loop
// thread whenever the server asks for more. The mix is rendered right then, straight into the
// server's memory, so that thread is the only one woken for output: once per request, nothing in
// between (no timing queries, no second mixing thread to hand the data over).
//
// A background player needs no low latency: the buffer is sized to what a control may take to
// be heard, and the server asks for a large slice of it at a time; it grows if the stream ever
// runs dry. The stream starts corked and stays corked while nothing plays, so an idle soundscape
// wakes nothing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_mainloop_api;
struct pa_time_event;
struct timeval;

namespace engine {

class PulseOutput {
public:
    // Writes `frames` stereo float frames (2 * frames floats) of the mix into out.
    using Render = std::function<void(float* out, size_t frames)>;

    // How long open() waits for the server at most.
    static constexpr std::chrono::milliseconds kAnswerDeadline{2000};

    // Connects to the default server without spawning one, and opens a corked stream on the
    // default sink at its rate. `latency` is the most audio the stream may hold ahead of what is
    // heard; the server asks for `request` at a time. nullptr when there is no server, or it
    // does not answer within kAnswerDeadline. `unanswered` tells the two apart: true when a
    // server was there (or at least its socket) but hung, so that nothing else calls into it
    // now (OpenAL's own connect would wait for it without a deadline); false when nothing
    // listened or the server answered with a refusal.
    static std::unique_ptr<PulseOutput> open(std::chrono::milliseconds latency,
                                             std::chrono::milliseconds request, bool& unanswered);
    // Stops the loop thread, so no render runs after this; never waits for the server.
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    uint32_t rate() const { return m_rate; }
    // Set once, before the stream is first uncorked; called on the loop thread.
    void setRender(Render render);
    // Corked: the server asks for nothing and nothing is rendered.
    void setCorked(bool corked);
    // False once the server has gone (or the stream failed): the output must be opened afresh.
    bool connected();

private:
    PulseOutput() = default;
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    void fill();
    static void onCorkDue(pa_mainloop_api* api, pa_time_event* event, const struct timeval* at,
                          void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static constexpr uint64_t kCorkMarginUs = 100000;
    static constexpr uint64_t kMaxLatencyUs = 1000000;
    static constexpr uint64_t kSettleUs = 2000000;  // after an uncork, underflows are not counted

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    uint32_t m_rate = 0;
    uint64_t m_latency = 0;     // microseconds, grown after the stream ran dry
    uint64_t m_request = 0;     // microseconds
    uint64_t m_uncorkedAt = 0;  // pa_rtclock_now() of the last uncork
    bool m_corked = true;
    pa_time_event* m_corkDue = nullptr;  // going idle: corks once the buffer has played out
    Render m_render;
};

}  // namespace engine
