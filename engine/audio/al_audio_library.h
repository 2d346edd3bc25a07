// The audio library on OpenAL Soft and libsndfile. Each stream is an OpenAL source fed from a
// queue of a few buffers; one feeder thread decodes the next blocks of every live stream, starts
// sources again after an underrun, and rebuilds the device and every stream when the sound
// server goes away and comes back. On a PulseAudio or PipeWire server the mix is rendered into
// a stream of the program's own (pulse_output.h), on libpulse's loop thread when the server asks
// for more; elsewhere OpenAL plays it through its own backend.
//
// Threads: the ten library calls come from the UI thread (any one thread at a time); the feeder
// thread runs between BASS_Init and BASS_Free. Both share the stream table under one mutex and
// the feeder decodes outside it, so a call from the UI never waits for the feeder's decoding
// (only StreamCreateFile decodes, the first blocks of its own stream, so Play sounds at once).
//
// Loopback output is for tests: no feeder thread and no sound card. The test drives time by
// hand with pump() (decode and queue what the sources need) and render() (mix the next frames,
// stereo float at the rate given to BASS_Init), which makes the output the same on every run.
//
// BASS_Free ends within a few seconds even when the sound server hangs without going away: a
// feeder or a device close stuck in a call into it is left behind for the process's exit.
//
// While the sound server is gone every stream stays live: loops and unfinished one-shots read
// as active and carry on from about where they were once it is back; a one-shot whose last
// block had already been decoded reads as ended, even if the loss cut its last second short. A
// server that is there but does not answer at BASS_Init counts as gone from the start: the init
// succeeds within a few seconds and the streams are heard once the server answers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/audio_library.h"

namespace engine {

class AlAudioLibrary : public AudioLibrary {
public:
    enum class Output {
        kDevice,    // the default output device, fed by a feeder thread
        kLoopback,  // rendered on demand through pump() and render(), no thread
    };
    explicit AlAudioLibrary(Output output = Output::kDevice);
    ~AlAudioLibrary() override;
    AlAudioLibrary(const AlAudioLibrary&) = delete;
    AlAudioLibrary& operator=(const AlAudioLibrary&) = delete;

    uint32_t BASS_GetVersion() override;
    int BASS_Init(int device, uint32_t freq, uint32_t flags, void* window) override;
    Handle BASS_StreamCreateFile(const std::string& path, uint32_t flags) override;
    int BASS_ChannelSetAttribute(Handle h, uint32_t attrib, float value) override;
    // restart != 0, or a one-shot that has ended, plays from the start; otherwise a stopped
    // stream resumes where it stopped.
    int BASS_ChannelPlay(Handle h, int restart) override;
    int BASS_ChannelStop(Handle h) override;
    int BASS_StreamFree(Handle h) override;
    uint32_t BASS_ChannelIsActive(Handle h) override;
    int BASS_Stop() override;
    int BASS_Free() override;

    // Loopback output only (no effect otherwise).
    void pump();
    void render(float* out, int frames);
    // Pumps and renders in small blocks, as a sound card would pull: 2 * frames floats.
    std::vector<float> renderFrames(int frames);

private:
    struct Device;
    struct Stream;
    struct Job;
    class Core;

    // Shared with the feeder thread: a feeder left behind at a hung close may come back from its
    // call into the sound server long after this instance is gone, and must find everything it
    // touches still there. The last one to let go closes the device.
    std::shared_ptr<Core> m_core;
};

// An instance's state and its work, owned jointly by the instance and its feeder thread. The ten
// calls and the loopback's pump and render mean what they do above.
class AlAudioLibrary::Core : public std::enable_shared_from_this<Core> {
public:
    explicit Core(Output output);
    ~Core();

    int BASS_Init(uint32_t freq);
    Handle BASS_StreamCreateFile(const std::string& path, uint32_t flags);
    int BASS_ChannelSetAttribute(Handle h, uint32_t attrib, float value);
    int BASS_ChannelPlay(Handle h, int restart);
    int BASS_ChannelStop(Handle h);
    int BASS_StreamFree(Handle h);
    uint32_t BASS_ChannelIsActive(Handle h);
    int BASS_Stop();
    int BASS_Free();
    void pump();
    void render(float* out, int frames);

private:
    void feederLoop();
    void abandonFeeder();
    static void closeWithin(std::unique_ptr<Device> device, std::chrono::milliseconds limit);
    void wakeFeeder();
    std::chrono::milliseconds service();
    std::chrono::milliseconds nextRound();
    static bool sounds(Stream& s);
    bool updateHold(Stream& s);
    double clock() const;
    size_t position(Stream& s);
    size_t unplayed(Stream& s);
    size_t heldPosition(const Stream& s) const;
    void expireHeld(Stream& s);
    void catchUp(Stream& s);
    void stopStream(Stream& s);
    void restartAt(Stream& s, size_t frame);
    bool restoreLostDevice();
    void reclaimProcessed(Stream& s);
    void startIfQueued(Stream& s);
    void requestRewind(Stream& s);
    bool createSourceObjects(Stream& s);
    void deleteSourceObjects(Stream& s);
    void queueDecoded(Stream& s, const Job& job);
    void freeAllLocked();
    Stream* find(Handle h);

    const Output m_output;
    uint32_t m_frequency = 44100;
    uint64_t m_renderedFrames = 0;  // loopback: the clock held one-shots keep their time by

    std::mutex m_mutex;  // guards everything below but the feeder-only part
    std::unique_ptr<Device> m_device;
    std::map<Handle, std::shared_ptr<Stream>> m_streams;

    // Feeder-only state (or the pumping thread's in loopback).
    std::vector<Job> m_jobs;
    std::chrono::steady_clock::time_point m_nextReopen;

    std::thread m_feeder;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_kick = false;           // the UI has work for the feeder before its next round
    bool m_feederStopped = false;  // the feeder has left its loop
    // The feeder did not stop at a close and was left behind, maybe holding m_mutex for ever:
    // the instance's calls fail from then on without waiting for it. Read and written by the
    // calling thread only.
    bool m_abandoned = false;
};

}  // namespace engine
