#include "engine/audio/al_audio_library.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "engine/audio/peak_limiter.h"
#include "engine/audio/pulse_output.h"
#include "engine/audio/sound_file_reader.h"

namespace engine {
namespace {

// Four buffers of half a second each (at least 8192 frames): a source holds two seconds. The
// feeder sleeps until the stream closest to running dry has about a second left, then refills
// every stream with a free buffer in the same round, so streams settle into a shared rhythm and
// the whole soundscape costs about one wake-up a second. A second of reserve rides out a busy
// machine. With nothing audible it sleeps until the UI asks for something. Whatever the UI asks
// for that needs decoding at once wakes the feeder straight away.
constexpr size_t kBufferCount = 4;
constexpr size_t kMinFramesPerBuffer = 8192;
// The ceiling is fixed, whatever a file claims: half a second at the highest rate a recording
// may have, 750 kB per buffer and 3 MB per stream of stereo float.
constexpr size_t kMaxFramesPerBuffer = SoundFileReader::kMaxSampleRate / 2;
constexpr auto kRefillAhead = std::chrono::milliseconds(1000);
constexpr auto kShortestSleep = std::chrono::milliseconds(10);
constexpr auto kLongestAudibleSleep = std::chrono::seconds(1);  // how soon a lost server shows
constexpr auto kReopenPeriod = std::chrono::seconds(1);
constexpr auto kSleepUntilWoken = std::chrono::milliseconds::max();
// How long a close waits for the feeder to stop, and then for the device to close. Either can be
// stuck inside a call into a sound server that hangs without going away (stopped, or its
// machine unreachable); the close must still end, so past this the thread is left behind for
// the process's exit to reclaim. A feeder trying to open the output again meanwhile gives up on
// such a server within PulseOutput's deadline, so the wait for it is longer than that: it ends
// cleanly rather than being left to run on into the process's exit.
constexpr auto kCloseDeadline = std::chrono::seconds(2);
constexpr auto kFeederStopDeadline = PulseOutput::kAnswerDeadline + std::chrono::seconds(1);

void reportServerHangs() {
    std::fprintf(stderr, "ombrelin: the sound server does not answer; closing without it\n");
}
constexpr int kRenderBlock = 1024;

// Handles are never reused within a process, whatever instance issued them, so a stale handle
// can only ever be unknown.
std::atomic<uint32_t> g_nextHandle{1};

Handle newHandle() {
    Handle h = g_nextHandle.fetch_add(1);
    while (h == 0) h = g_nextHandle.fetch_add(1);
    return h;
}

ALint sourceInt(ALuint source, ALenum param) {
    ALint value = 0;
    alGetSourcei(source, param, &value);
    return value;
}

// The output on a sound server: the mix is rendered into a PulseAudio stream (PipeWire's pulse
// server too) of the program's own. A soundscape needs no low latency, only controls that are
// heard promptly: gains act where the mix is rendered, so a change waits behind what the stream
// already holds, at most kOutputLatency. The server asks for kOutputRequest at a time, which is
// how often the output wakes; it keeps what is left, 30 ms here, in its own buffer (half of what
// exceeds two requests), so it wakes rarely itself too.
constexpr auto kOutputLatency = std::chrono::milliseconds(210);
constexpr auto kOutputRequest = std::chrono::milliseconds(75);

// Whoever names another driver for OpenAL in ALSOFT_DRIVERS (a test's silent device, a user's
// ALSA or JACK) gets it, through the library's own output. OMBRELIN_AUDIO_OUTPUT=openal asks for
// the library's own output on a PulseAudio server too: its own PulseAudio backend, which is
// otherwise used only where the program's stream cannot be opened (the tests run the sound
// server's faults through both outputs). Decided once, at the first device, as OpenAL reads its
// drivers once per process. Either way chosen, OpenAL's own output has no guard against a
// server that hangs at start: its backend waits for it (only the program's stream finds out).
bool playsThroughOwnStream() {
    static const bool own = [] {
        const char* output = std::getenv("OMBRELIN_AUDIO_OUTPUT");
        if (output && std::strcmp(output, "openal") == 0) return false;
        const char* drivers = std::getenv("ALSOFT_DRIVERS");
        return !drivers || !*drivers || std::strncmp(drivers, "pulse", 5) == 0;
    }();
    return own;
}

// Set once OpenAL has been called: it has read its drivers by then.
std::atomic<bool> g_openAlInUse{false};

// OpenAL sets up its drivers at its first use, a loopback device's too, and its PulseAudio
// backend then connects to the server and waits for an answer without a deadline. When that
// server is found hanging before OpenAL's first use, the backend is left out for the process:
// the program's own stream is what plays on that server; OpenAL's other drivers stay for a
// machine without it.
void leaveOutOpenAlsPulseBackend() {
    if (g_openAlInUse) return;
    const char* drivers = std::getenv("ALSOFT_DRIVERS");
    const std::string without = std::string("-pulse,") + (drivers ? drivers : "");
    setenv("ALSOFT_DRIVERS", without.c_str(), 1);
}

// The audio library's settings for its own output, used when the program's stream cannot be
// opened (no PulseAudio server) or another output is asked for. They are read from the extra
// configuration file named by ALSOFT_CONF (a user who set that variable keeps it for themselves):
// - a soundscape needs no low latency, so the library mixes in large periods: each one is a
//   wake-up of its mixer and of its sound-server thread. Three periods of 3072 frames keep about
//   200 ms in the server, so a slider is still heard within a quarter of a second (gains act
//   where the library mixes, so a change waits behind what is already mixed, nothing more).
//   Not two periods: PulseAudio then sizes its own sink buffer to nothing and wakes every
//   millisecond, at several times the server's CPU;
// - mix at the sound server's rate, so nothing is resampled twice;
// - float output needs no dither;
// - no word on the limiter: a setting here would override what each device asks for (OpenAL's
//   limiter on its own output, none on the loopback that renders into the program's stream,
//   which has a limiter of its own; see Device::open).
// - OpenAL Soft pins its PulseAudio stream to the sink it opened on, so switching the desktop's
//   output (to headphones, say) would leave the soundscape on the old device: allow-moves lifts
//   that.
constexpr const char* kLibraryConfig =
    "[general]\n"
    "period_size = 3072\n"
    "periods = 3\n"
    "dither = false\n"
    "[pulse]\n"
    "allow-moves = true\n"
    "fix-rate = true\n";

// The folder of our own made for the configuration file when there is no runtime folder, and
// the file in it; empty otherwise. Only the thread that opens and closes the library uses them.
std::string g_ownConfigFolder;
std::string g_ownConfigFile;

// The folder made in /tmp goes when the library is closed or could not be opened: one left by
// every start would pile up there. OpenAL reads its configuration once, when it is first used,
// so a device opened again later (after the sound server comes back) does without the file.
// The runtime folder's file stays; the session's end clears that folder.
void removeOwnConfigFolder() {
    if (g_ownConfigFolder.empty()) return;
    if (!g_ownConfigFile.empty()) unlink(g_ownConfigFile.c_str());
    rmdir(g_ownConfigFolder.c_str());
    g_ownConfigFolder.clear();
    g_ownConfigFile.clear();
}

// Runs before the first device is opened. The file goes to the user's runtime folder, or
// without one to a fresh folder only the user can enter: a fixed name in /tmp could be a file or
// a symlink planted by another user. It is written under a name of its own (created exclusively,
// mode 0600) and renamed into place, so an existing file or symlink there is replaced, never
// written through.
void writeLibraryConfig() {
    static bool done = false;
    if (done || std::getenv("ALSOFT_CONF")) return;
    done = true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir;
    if (runtime && *runtime) {
        dir = runtime;
    } else {
        std::string pattern = "/tmp/ombrelin-openal-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        dir = pattern;
        g_ownConfigFolder = dir;
    }
    const std::string path = dir + "/ombrelin-" + std::to_string(getuid()) + "-openal.conf";
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd >= 0) {
        const size_t size = std::strlen(kLibraryConfig);
        const bool written = write(fd, kLibraryConfig, size) == static_cast<ssize_t>(size);
        if (close(fd) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0) {
            setenv("ALSOFT_CONF", path.c_str(), 0);
            if (!g_ownConfigFolder.empty()) g_ownConfigFile = path;
        } else {
            unlink(temporary.c_str());
        }
    }
    if (g_ownConfigFile.empty()) removeOwnConfigFolder();
}

}  // namespace

// An open output: a device and its one context. The context is made current process-wide,
// which assumes one live instance per process (the program has one; tests use one at a time).
struct AlAudioLibrary::Device {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool canDetectLoss = false;
    LPALCRENDERSAMPLESSOFT renderSamples = nullptr;
    LPALCDEVICEPAUSESOFT pause = nullptr;
    LPALCDEVICERESUMESOFT resume = nullptr;
    bool paused = false;
    std::unique_ptr<PulseOutput> stream;   // the sound server's stream the mix is rendered into
    std::unique_ptr<PeakLimiter> limiter;  // on that stream, used on its loop thread only
    bool standIn = false;  // plays nothing until the sound server answers; reads as lost

    // nullptr when there is no output. A sound server that is there but does not answer is not
    // called into again through OpenAL's own PulseAudio backend, which would wait for it without
    // a deadline, holding the caller (the UI at start, the feeder at a reopen). Instead, given
    // `standInWhileUnanswered`, a stand-in is opened: a device that renders nothing and reads as
    // lost, so the feeder opens the real output once the server answers again and moves every
    // stream over to it, as after a lost server; otherwise nullptr.
    static std::unique_ptr<Device> open(Output output, uint32_t frequency,
                                        bool standInWhileUnanswered) {
        auto d = std::make_unique<Device>();
        // The real output keeps the mix from clipping into a click at the rare moment when
        // several loud layers meet (a thunder strike over songs and insects): through its own
        // stream with a limiter of its own that costs next to nothing (peak_limiter.h), through
        // OpenAL's own output with OpenAL's. The loopback output of the tests does without, so
        // that what they read back is exactly what the sources carried.
        if (output == Output::kDevice) {
            writeLibraryConfig();
            if (playsThroughOwnStream()) {
                bool unanswered = false;
                d->stream = PulseOutput::open(kOutputLatency, kOutputRequest, unanswered);
                if (unanswered) {
                    if (!standInWhileUnanswered) return nullptr;
                    leaveOutOpenAlsPulseBackend();
                    d->standIn = true;
                }
            }
        }
        g_openAlInUse = true;
        const bool libraryLimiter = output == Output::kDevice && !d->stream && !d->standIn;
        std::vector<ALCint> attribs = {ALC_OUTPUT_LIMITER_SOFT,
                                       libraryLimiter ? ALC_TRUE : ALC_FALSE};
        if (output == Output::kLoopback || d->stream || d->standIn) {
            // Rendered on demand: by the test at the rate it asked for, or into the sound
            // server's stream at the sink's own rate, so nothing is resampled twice. A stand-in
            // is never rendered.
            const uint32_t rate = d->stream ? d->stream->rate() : frequency;
            auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
                alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
            if (!openLoopback) return nullptr;
            d->device = openLoopback(nullptr);
            if (!d->device) return nullptr;
            d->renderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
                alcGetProcAddress(d->device, "alcRenderSamplesSOFT"));
            if (!d->renderSamples) return nullptr;
            // Plain stereo float with nothing after the mix.
            attribs.insert(
                attribs.end(),
                {ALC_FREQUENCY, static_cast<ALCint>(rate), ALC_FORMAT_CHANNELS_SOFT,
                 ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT, ALC_HRTF_SOFT, ALC_FALSE});
        } else {
            // No sound server of its own to play on: the library's own output (another driver
            // named in ALSOFT_DRIVERS, or its PulseAudio backend when the stream did not open).
            // It mixes at the server's rate when no rate is asked for.
            d->device = alcOpenDevice(nullptr);
            if (!d->device) return nullptr;
            if (alcIsExtensionPresent(d->device, "ALC_SOFT_pause_device") == ALC_TRUE) {
                d->pause = reinterpret_cast<LPALCDEVICEPAUSESOFT>(
                    alcGetProcAddress(d->device, "alcDevicePauseSOFT"));
                d->resume = reinterpret_cast<LPALCDEVICERESUMESOFT>(
                    alcGetProcAddress(d->device, "alcDeviceResumeSOFT"));
            }
        }
        attribs.push_back(0);
        d->context = alcCreateContext(d->device, attribs.data());
        if (!d->context) return nullptr;
        if (d->stream) {
            d->limiter = std::make_unique<PeakLimiter>(d->stream->rate());
            d->stream->setRender([device = d->device, render = d->renderSamples,
                                  limiter = d->limiter.get()](float* out, size_t frames) {
                render(device, out, static_cast<ALCsizei>(frames));
                limiter->process(out, frames);
            });
            d->paused = true;  // the stream starts corked
            d->canDetectLoss = true;
        } else if (d->standIn) {
            d->canDetectLoss = true;
        } else {
            d->canDetectLoss = alcIsExtensionPresent(d->device, "ALC_EXT_disconnect") == ALC_TRUE;
        }
        return d;
    }

    ~Device() {
        stream.reset();  // no render runs from here on
        if (context) {
            if (alcGetCurrentContext() == context) alcMakeContextCurrent(nullptr);
            alcDestroyContext(context);
        }
        if (device) alcCloseDevice(device);
    }

    void makeCurrent() {
        if (alcGetCurrentContext() != context) alcMakeContextCurrent(context);
    }

    // While nothing plays, the output is paused: OpenAL then stops mixing silence and the sound
    // server gets no data, so a soundscape with every layer off costs next to nothing.
    void setIdle(bool idle) {
        if (idle == paused) return;
        if (stream) {
            stream->setCorked(idle);
            paused = idle;
            return;
        }
        if (!pause || !resume) return;
        if (idle) {
            pause(device);
        } else {
            resume(device);
        }
        paused = idle;
    }

    bool connected() {
        if (standIn) return false;
        if (stream) return stream->connected();
        ALCint value = ALC_TRUE;
        alcGetIntegerv(device, ALC_CONNECTED, 1, &value);
        return value != ALC_FALSE;
    }
};

// Closing a device waits for its sound server. The close runs on a thread of its own that owns
// the device, so when the server does not answer in time that thread can be left behind
// without touching anything of this instance.
void AlAudioLibrary::Core::closeWithin(std::unique_ptr<Device> device,
                                       std::chrono::milliseconds limit) {
    if (!device) return;
    std::promise<void> closed;
    std::future<void> done = closed.get_future();
    std::thread closer([d = std::move(device), c = std::move(closed)]() mutable {
        d.reset();
        c.set_value();
    });
    if (done.wait_for(limit) == std::future_status::ready) {
        closer.join();
    } else {
        reportServerHangs();
        closer.detach();
    }
}

// One playing recording. The fields above the reader are shared (guarded by the library's
// mutex); the reader and the decoded blocks belong to whoever decodes: the creating thread until
// the stream is published, then the feeder alone.
struct AlAudioLibrary::Stream {
    Handle handle = 0;
    bool loop = false;
    int sampleRate = 0;
    size_t framesPerBuffer = kMinFramesPerBuffer;
    float gain = 1.0f;
    bool playing = false;        // between Play and Stop
    bool decoderDone = false;    // a one-shot's last block is queued
    bool finished = false;       // a one-shot has played out
    bool rewindPending = false;  // the next decode starts from frame `startFrame`
    size_t startFrame = 0;
    bool freed = false;
    // At volume 0 the source is paused, so nothing is mixed or decoded. A loop waits where it
    // was; a one-shot keeps its time: heldFrom is where it was when held, heldAt the clock then,
    // and once it is heard again it carries on from where it would be by now.
    bool held = false;
    size_t heldFrom = 0;
    double heldAt = 0.0;
    size_t claimedFrames = 0;  // a one-shot's length; 0: unknown, so it is never held
    size_t queuedEnd = 0;      // frames from the start to the end of what has been queued
    uint64_t generation = 0;   // bumped whenever blocks decoded earlier no longer fit the queue
    ALuint source = 0;
    std::array<ALuint, kBufferCount> buffers{};
    std::vector<ALuint> freeBuffers;                  // buffers not in the source's queue
    std::array<size_t, kBufferCount> bufferFrames{};  // what each of `buffers` holds when queued

    std::unique_ptr<SoundFileReader> reader;
    std::array<std::vector<float>, kBufferCount> blocks;

    // A one-shot has played out once its last block is queued and its source has stopped (or
    // the end came with nothing left to queue); a source stopped before that has only run dry,
    // and the feeder restarts it. A source whose queue was dropped is rewound, not stopped, so
    // that stopped means played. Lock held.
    bool playedOut() const {
        return finished || (decoderDone && (sourceInt(source, AL_SOURCE_STATE) == AL_STOPPED ||
                                            sourceInt(source, AL_BUFFERS_QUEUED) == 0));
    }
};

// Blocks the feeder decodes for one stream outside the lock, queued afterwards if the stream is
// still the same.
struct AlAudioLibrary::Job {
    std::shared_ptr<Stream> stream;
    uint64_t generation = 0;
    size_t wanted = 0;
    bool rewind = false;  // start from frame `startFrame`
    size_t startFrame = 0;
    size_t decoded = 0;
    std::array<size_t, kBufferCount> frames{};
    bool reachedEnd = false;

    void decode() {
        Stream& s = *stream;
        if (rewind) s.reader->seek(startFrame);
        decoded = 0;
        reachedEnd = s.reader->atEnd();
        for (size_t i = 0; i < wanted && !reachedEnd; ++i) {
            std::vector<float>& block = s.blocks[i];
            block.resize(2 * s.framesPerBuffer);
            frames[i] = s.reader->read(block.data(), s.framesPerBuffer, s.loop);
            if (frames[i] > 0) decoded = i + 1;
            reachedEnd = s.reader->atEnd();
        }
        // Joining a recording in the middle: a short fade-in, so it does not start with a click.
        if (rewind && startFrame > 0 && decoded > 0) {
            const size_t fade = std::min(frames[0], static_cast<size_t>(s.sampleRate) / 100);
            float* f = s.blocks[0].data();
            for (size_t i = 0; i < fade; ++i) {
                const float g = static_cast<float>(i) / static_cast<float>(fade);
                f[2 * i] *= g;
                f[2 * i + 1] *= g;
            }
        }
    }
};

AlAudioLibrary::Core::Core(Output output) : m_output(output) {}

AlAudioLibrary::Core::~Core() = default;

AlAudioLibrary::AlAudioLibrary(Output output) : m_core(std::make_shared<Core>(output)) {}

AlAudioLibrary::~AlAudioLibrary() { m_core->BASS_Free(); }

uint32_t AlAudioLibrary::BASS_GetVersion() { return kLibraryVersion; }

int AlAudioLibrary::BASS_Init(int /*device*/, uint32_t freq, uint32_t /*flags*/, void* /*window*/) {
    return m_core->BASS_Init(freq);
}
Handle AlAudioLibrary::BASS_StreamCreateFile(const std::string& path, uint32_t flags) {
    return m_core->BASS_StreamCreateFile(path, flags);
}
int AlAudioLibrary::BASS_ChannelSetAttribute(Handle h, uint32_t attrib, float value) {
    return m_core->BASS_ChannelSetAttribute(h, attrib, value);
}
int AlAudioLibrary::BASS_ChannelPlay(Handle h, int restart) {
    return m_core->BASS_ChannelPlay(h, restart);
}
int AlAudioLibrary::BASS_ChannelStop(Handle h) { return m_core->BASS_ChannelStop(h); }
int AlAudioLibrary::BASS_StreamFree(Handle h) { return m_core->BASS_StreamFree(h); }
uint32_t AlAudioLibrary::BASS_ChannelIsActive(Handle h) { return m_core->BASS_ChannelIsActive(h); }
int AlAudioLibrary::BASS_Stop() { return m_core->BASS_Stop(); }
int AlAudioLibrary::BASS_Free() { return m_core->BASS_Free(); }
void AlAudioLibrary::pump() { m_core->pump(); }
void AlAudioLibrary::render(float* out, int frames) { m_core->render(out, frames); }

int AlAudioLibrary::Core::BASS_Init(uint32_t freq) {
    if (m_abandoned) return 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_device) return 1;  // already open: keep it
    }
    const uint32_t frequency = freq ? freq : 44100;
    std::unique_ptr<Device> device = Device::open(m_output, frequency, true);
    // Streams are queued as stereo float; without that format there is nothing to play with.
    if (device) device->makeCurrent();
    if (!device || alIsExtensionPresent("AL_EXT_FLOAT32") != AL_TRUE) {
        removeOwnConfigFolder();
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_device = std::move(device);
        m_frequency = frequency;
    }
    if (m_output == Output::kDevice) {
        m_quit = false;
        m_kick = false;
        m_nextReopen = std::chrono::steady_clock::now();
        m_feeder = std::thread([core = shared_from_this()] { core->feederLoop(); });
    }
    return 1;
}

Handle AlAudioLibrary::Core::BASS_StreamCreateFile(const std::string& path, uint32_t flags) {
    if (m_abandoned) return 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_device) return 0;
    }
    auto stream = std::make_shared<Stream>();
    stream->reader = SoundFileReader::open(path);
    if (!stream->reader) return 0;
    stream->loop = (flags & kSampleLoop) != 0;
    stream->sampleRate = stream->reader->sampleRate();
    if (!stream->loop) stream->claimedFrames = stream->reader->claimedFrames();
    stream->framesPerBuffer = std::clamp(static_cast<size_t>(stream->sampleRate) / 2,
                                         kMinFramesPerBuffer, kMaxFramesPerBuffer);

    // Decode the first blocks here, so that Play starts sound at once.
    Job first;
    first.stream = stream;
    first.wanted = kBufferCount;
    first.decode();
    if (first.decoded == 0) return 0;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device) return 0;
    m_device->makeCurrent();
    if (!createSourceObjects(*stream)) return 0;
    stream->handle = newHandle();
    queueDecoded(*stream, first);
    m_streams.emplace(stream->handle, stream);
    return stream->handle;
}

int AlAudioLibrary::Core::BASS_ChannelSetAttribute(Handle h, uint32_t attrib, float value) {
    if (m_abandoned) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream* s = find(h);
    if (!s || attrib != kAttribVolume) return 0;
    s->gain = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;  // NaN reads as silence
    alSourcef(s->source, AL_GAIN, s->gain);
    expireHeld(*s);
    if (!updateHold(*s)) return 1;
    if (!s->held) {
        // The source first, then the output: coming back from idle renders at once what the
        // server asks for, and that must already hold this sound, not a buffer of silence.
        startIfQueued(*s);
        if (m_device) m_device->setIdle(false);
    }
    wakeFeeder();  // the feeder plans its sleep (and pauses the output) from what sounds
    return 1;
}

int AlAudioLibrary::Core::BASS_ChannelPlay(Handle h, int restart) {
    if (m_abandoned) return 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Stream* s = find(h);
        if (!s) return 0;
        expireHeld(*s);
        if (restart || s->playedOut()) requestRewind(*s);
        s->playing = true;
        updateHold(*s);
        reclaimProcessed(*s);
        startIfQueued(*s);
        if (m_device) m_device->setIdle(false);  // after the source starts, as above
    }
    // Have anything missing decoded now, and let the feeder plan its sleep with this stream.
    wakeFeeder();
    return 1;
}

int AlAudioLibrary::Core::BASS_ChannelStop(Handle h) {
    if (m_abandoned) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream* s = find(h);
    if (!s) return 0;
    stopStream(*s);
    return 1;
}

int AlAudioLibrary::Core::BASS_StreamFree(Handle h) {
    if (m_abandoned) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream* s = find(h);
    if (!s) return 0;
    deleteSourceObjects(*s);
    s->freed = true;  // the feeder may still hold it; it drops its work when it sees this
    m_streams.erase(h);
    return 1;
}

uint32_t AlAudioLibrary::Core::BASS_ChannelIsActive(Handle h) {
    if (m_abandoned) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Stream* s = find(h);
    if (!s || !s->playing) return 0;
    expireHeld(*s);
    if (s->playedOut()) {
        s->finished = true;
        return 0;
    }
    return 1;
}

int AlAudioLibrary::Core::BASS_Stop() {
    if (m_abandoned) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device) return 0;
    m_device->makeCurrent();
    for (auto& entry : m_streams) stopStream(*entry.second);
    return 1;
}

int AlAudioLibrary::Core::BASS_Free() {
    removeOwnConfigFolder();
    if (m_abandoned) return 0;
    if (m_feeder.joinable()) {
        std::unique_lock<std::mutex> wake(m_wakeMutex);
        m_quit = true;
        m_wake.notify_all();
        const bool stopped =
            m_wake.wait_for(wake, kFeederStopDeadline, [this] { return m_feederStopped; });
        wake.unlock();
        if (!stopped) {
            abandonFeeder();
            return 1;
        }
        m_feeder.join();
        m_feederStopped = false;
    }
    std::unique_ptr<Device> closing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_device) return 0;
        freeAllLocked();
        closing = std::move(m_device);
    }
    closeWithin(std::move(closing), kCloseDeadline);
    return 1;
}

void AlAudioLibrary::Core::pump() {
    if (m_output == Output::kLoopback) service();
}

void AlAudioLibrary::Core::render(float* out, int frames) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device || !m_device->renderSamples) {
        std::fill(out, out + 2 * static_cast<size_t>(frames), 0.0f);
        return;
    }
    m_device->makeCurrent();
    m_device->renderSamples(m_device->device, out, frames);
    m_renderedFrames += static_cast<uint64_t>(std::max(frames, 0));
}

std::vector<float> AlAudioLibrary::renderFrames(int frames) {
    std::vector<float> out(2 * static_cast<size_t>(std::max(frames, 0)));
    for (int done = 0; done < frames; done += kRenderBlock) {
        pump();
        render(out.data() + 2 * static_cast<size_t>(done), std::min(kRenderBlock, frames - done));
    }
    return out;
}

void AlAudioLibrary::Core::wakeFeeder() {
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_kick = true;
    }
    m_wake.notify_one();
}

void AlAudioLibrary::Core::feederLoop() {
    std::unique_lock<std::mutex> wake(m_wakeMutex);
    while (!m_quit) {
        wake.unlock();
        const std::chrono::milliseconds sleep = service();
        wake.lock();
        const auto due = [this] { return m_quit || m_kick; };
        if (sleep == kSleepUntilWoken) {
            m_wake.wait(wake, due);
        } else {
            m_wake.wait_for(wake, sleep, due);
        }
        m_kick = false;
    }
    m_feederStopped = true;
    m_wake.notify_all();
}

// The feeder did not stop in time. Closing the device would call into the same hung server, so
// the device and the streams are left as they are, untouched: the feeder may be holding the lock
// inside that call. If the call ever returns, the feeder finishes its round on state it owns a
// share of, sees the quit request and ends, and closes the device as the last one to let go;
// otherwise the process's exit reclaims all of it. From here on every call on this instance
// fails.
void AlAudioLibrary::Core::abandonFeeder() {
    reportServerHangs();
    m_feeder.detach();
    m_abandoned = true;
}

// One round of the feeder: take back played buffers, decode the next blocks without holding the
// lock, then queue them and restart any source that ran dry. Returns how long the feeder may
// sleep before the next round is needed.
std::chrono::milliseconds AlAudioLibrary::Core::service() {
    if (!restoreLostDevice()) return kReopenPeriod;
    m_jobs.clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_device) return kSleepUntilWoken;
        m_device->makeCurrent();
        bool audible = false;
        for (auto& entry : m_streams) {
            Stream& s = *entry.second;
            if (!s.source) continue;
            audible = audible || sounds(s);
            reclaimProcessed(s);
            if (s.held || s.freeBuffers.empty() || (s.decoderDone && !s.rewindPending)) continue;
            Job job;
            job.stream = entry.second;
            job.generation = s.generation;
            job.wanted = s.freeBuffers.size();
            job.rewind = s.rewindPending;
            job.startFrame = s.startFrame;
            s.rewindPending = false;
            m_jobs.push_back(std::move(job));
        }
        m_device->setIdle(!audible);
        if (m_jobs.empty()) return nextRound();
    }
    for (Job& job : m_jobs) job.decode();
    std::chrono::milliseconds sleep = kSleepUntilWoken;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_device) return kSleepUntilWoken;
        m_device->makeCurrent();
        for (Job& job : m_jobs) {
            Stream& s = *job.stream;
            if (s.freed || s.generation != job.generation) continue;
            queueDecoded(s, job);
        }
        sleep = nextRound();
    }
    m_jobs.clear();  // drops the feeder's hold on freed streams here, not on the next round
    return sleep;
}

bool AlAudioLibrary::Core::sounds(Stream& s) { return s.playing && !s.held && !s.playedOut(); }

// How long until a stream that sounds gets down to its last second of queued audio (or, for a
// one-shot whose last block is queued, until it has played out, so the output can be paused).
// Nothing sounding: sleep until the UI asks for something. Called with the lock held.
std::chrono::milliseconds AlAudioLibrary::Core::nextRound() {
    using std::chrono::milliseconds;
    milliseconds sleep = kSleepUntilWoken;
    for (auto& entry : m_streams) {
        Stream& s = *entry.second;
        if (!s.source || !sounds(s)) continue;
        const size_t left = unplayed(s);
        const milliseconds leftTime(static_cast<int64_t>(left) * 1000 / std::max(s.sampleRate, 1));
        const milliseconds wait =
            s.decoderDone ? leftTime + kShortestSleep : leftTime - kRefillAhead;
        sleep = std::min(sleep, std::max(wait, milliseconds(kShortestSleep)));
    }
    return sleep == kSleepUntilWoken ? sleep : std::min(sleep, milliseconds(kLongestAudibleSleep));
}

// Pauses a stream whose volume is 0 and resumes it when it is heard again: a silent layer costs
// no mixing and no decoding. A loop carries on seamlessly from where it was. A one-shot keeps its
// time (a song under the rain must still end when it would have): it reads as active until its
// length has passed, and heard again after more than its queue holds it joins the recording
// where it would be by now (see catchUp). A
// one-shot whose length the file does not tell keeps playing unheard instead. Returns true when
// the hold changed. Lock held, as in every function below.
bool AlAudioLibrary::Core::updateHold(Stream& s) {
    const bool hold =
        s.playing && s.gain <= 0.0f && (s.loop || (s.claimedFrames > 0 && !s.playedOut()));
    if (hold == s.held) return false;
    if (hold) {
        if (!s.loop) {
            s.heldFrom = position(s);
            s.heldAt = clock();
        }
        if (s.source && sourceInt(s.source, AL_SOURCE_STATE) == AL_PLAYING) {
            alSourcePause(s.source);
        }
    } else if (!s.loop) {
        catchUp(s);
    }
    s.held = hold;
    return true;
}

// Seconds on the clock the output plays by: the frames rendered so far in loopback, the real
// time otherwise.
double AlAudioLibrary::Core::clock() const {
    if (m_output == Output::kLoopback) {
        return static_cast<double>(m_renderedFrames) / static_cast<double>(m_frequency);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How far into its recording a one-shot is heard (or would be, when it is not held): the end of
// what was queued less what of the queue is still to play.
size_t AlAudioLibrary::Core::position(Stream& s) {
    if (s.rewindPending) return s.startFrame;
    const size_t left = unplayed(s);
    return s.queuedEnd > left ? s.queuedEnd - left : 0;
}

// Frames queued on the stream's source that it has still to play.
size_t AlAudioLibrary::Core::unplayed(Stream& s) {
    if (!s.source) return 0;
    size_t queued = 0;
    for (size_t i = 0; i < kBufferCount; ++i) {
        if (std::find(s.freeBuffers.begin(), s.freeBuffers.end(), s.buffers[i]) ==
            s.freeBuffers.end()) {
            queued += s.bufferFrames[i];
        }
    }
    // A source that ran dry has played its whole queue (and reads offset 0).
    const size_t played =
        sourceInt(s.source, AL_SOURCE_STATE) == AL_STOPPED
            ? queued
            : static_cast<size_t>(std::max(sourceInt(s.source, AL_SAMPLE_OFFSET), 0));
    return queued > played ? queued - played : 0;
}

size_t AlAudioLibrary::Core::heldPosition(const Stream& s) const {
    const double elapsed = std::max(clock() - s.heldAt, 0.0);
    return s.heldFrom + static_cast<size_t>(std::llround(elapsed * s.sampleRate));
}

// A held one-shot whose time has passed has played out, unheard.
void AlAudioLibrary::Core::expireHeld(Stream& s) {
    if (s.held && !s.loop && !s.finished && heldPosition(s) >= s.claimedFrames) s.finished = true;
}

// A held one-shot heard again, or stopped. A silence no longer than what is queued (a song that
// starts under the rain and is raised at the fade's next step) resumes where it was, only that
// much later: nothing is decoded twice. After a longer one, its next decode starts where it
// would be by now.
void AlAudioLibrary::Core::catchUp(Stream& s) {
    expireHeld(s);
    if (s.finished) return;
    const size_t at = heldPosition(s);
    if (!s.rewindPending && at - s.heldFrom <= unplayed(s)) return;
    restartAt(s, at);
}

// Stop pauses: the queue stays as it is, so a later Play resumes seamlessly (a held one-shot,
// from where its time had got to).
void AlAudioLibrary::Core::stopStream(Stream& s) {
    if (s.held && !s.loop) catchUp(s);
    s.playing = false;
    s.held = false;
    if (s.source && sourceInt(s.source, AL_SOURCE_STATE) == AL_PLAYING) alSourcePause(s.source);
}

// True when the output is usable. When the sound server has gone (or has not answered yet, and a
// stand-in holds the output's place), tries to open the output again about once a second and
// moves every live stream over to it: each keeps its handle, volume, play state and its
// decoder's place (what was queued on the lost device is skipped).
bool AlAudioLibrary::Core::restoreLostDevice() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_device) return false;
        if (!m_device->canDetectLoss || m_device->connected()) return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextReopen) return false;
    m_nextReopen = now + kReopenPeriod;
    // Opening can block on a sound server; the UI must not wait for it.
    std::unique_ptr<Device> fresh = Device::open(m_output, m_frequency, false);
    if (!fresh) return false;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device) return false;
    m_device->makeCurrent();
    for (auto& entry : m_streams) deleteSourceObjects(*entry.second);
    fresh->makeCurrent();
    for (auto& entry : m_streams) {
        Stream& s = *entry.second;
        s.generation++;
        if (!createSourceObjects(s)) {
            s.finished = true;
        } else if (s.held && !s.loop) {
            restartAt(s, s.heldFrom);  // it keeps its time; heard again, it joins where it would be
        } else if (s.decoderDone) {
            s.finished = true;
        }
    }
    std::swap(m_device, fresh);  // the lost device closes as `fresh` goes out of scope
    return true;
}

void AlAudioLibrary::Core::reclaimProcessed(Stream& s) {
    ALint processed = sourceInt(s.source, AL_BUFFERS_PROCESSED);
    while (processed > 0) {
        std::array<ALuint, kBufferCount> ids{};
        const ALsizei n = std::min<ALsizei>(processed, kBufferCount);
        alSourceUnqueueBuffers(s.source, n, ids.data());
        s.freeBuffers.insert(s.freeBuffers.end(), ids.begin(), ids.begin() + n);
        processed -= n;
    }
}

// Starts (or resumes) the source when it is not playing and has something queued. The caller
// has taken played buffers out of the queue before queueing new ones: a stopped source would
// play its whole queue again, and counts everything in it as played, new buffers too.
void AlAudioLibrary::Core::startIfQueued(Stream& s) {
    if (!s.source || s.held || s.finished || sourceInt(s.source, AL_SOURCE_STATE) == AL_PLAYING)
        return;
    if (sourceInt(s.source, AL_BUFFERS_QUEUED) > 0) alSourcePlay(s.source);
}

void AlAudioLibrary::Core::requestRewind(Stream& s) {
    restartAt(s, 0);
    if (s.held) {  // a held one-shot's time starts again too
        s.heldFrom = 0;
        s.heldAt = clock();
    }
}

// Drops what is queued; the next decode starts at `frame`.
void AlAudioLibrary::Core::restartAt(Stream& s, size_t frame) {
    if (s.source) {
        alSourceRewind(s.source);
        alSourcei(s.source, AL_BUFFER, 0);
        s.freeBuffers.assign(s.buffers.begin(), s.buffers.end());
    }
    s.decoderDone = false;
    s.finished = false;
    s.rewindPending = true;
    s.startFrame = frame;
    s.queuedEnd = frame;
    s.generation++;
}

bool AlAudioLibrary::Core::createSourceObjects(Stream& s) {
    alGetError();
    alGenSources(1, &s.source);
    if (alGetError() != AL_NO_ERROR) {
        s.source = 0;
        return false;
    }
    alGenBuffers(kBufferCount, s.buffers.data());
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &s.source);
        s.source = 0;
        s.buffers.fill(0);
        return false;
    }
    // A recording plays as it is: no position, no distance, and its two channels go straight
    // to the left and right outputs (a panned source would lose level and mix the sides).
    alSourcei(s.source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(s.source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(s.source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcei(s.source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    alSourcef(s.source, AL_GAIN, s.gain);
    alGetError();  // direct channels are a refinement; a library without them still plays
    s.freeBuffers.assign(s.buffers.begin(), s.buffers.end());
    return true;
}

void AlAudioLibrary::Core::deleteSourceObjects(Stream& s) {
    if (!s.source) return;
    alSourceStop(s.source);
    alSourcei(s.source, AL_BUFFER, 0);
    alDeleteSources(1, &s.source);
    alDeleteBuffers(kBufferCount, s.buffers.data());
    s.source = 0;
    s.buffers.fill(0);
    s.freeBuffers.clear();
}

void AlAudioLibrary::Core::queueDecoded(Stream& s, const Job& job) {
    reclaimProcessed(s);
    for (size_t i = 0; i < job.decoded && !s.freeBuffers.empty(); ++i) {
        if (job.frames[i] == 0) continue;
        const ALuint buffer = s.freeBuffers.back();
        s.freeBuffers.pop_back();
        alBufferData(buffer, AL_FORMAT_STEREO_FLOAT32, s.blocks[i].data(),
                     static_cast<ALsizei>(job.frames[i] * 2 * sizeof(float)), s.sampleRate);
        s.bufferFrames[static_cast<size_t>(std::find(s.buffers.begin(), s.buffers.end(), buffer) -
                                           s.buffers.begin())] = job.frames[i];
        alSourceQueueBuffers(s.source, 1, &buffer);
        s.queuedEnd += job.frames[i];
    }
    if (job.reachedEnd) s.decoderDone = true;
    if (s.playing) startIfQueued(s);
}

void AlAudioLibrary::Core::freeAllLocked() {
    if (m_device) m_device->makeCurrent();
    for (auto& entry : m_streams) {
        deleteSourceObjects(*entry.second);
        entry.second->freed = true;
    }
    m_streams.clear();
}

AlAudioLibrary::Stream* AlAudioLibrary::Core::find(Handle h) {
    if (h == 0 || !m_device) return nullptr;
    auto it = m_streams.find(h);
    if (it == m_streams.end()) return nullptr;
    m_device->makeCurrent();
    return it->second.get();
}

}  // namespace engine
