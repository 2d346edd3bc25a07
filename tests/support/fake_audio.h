// An audio library for the engine's logic under virtual time: it records every call, hands out
// increasing handles, and plays nothing. A one-shot stream reads active from its play until its
// recording's length has passed on the virtual clock; looping streams until stopped or freed.
// Paths listed as missing fail to open.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/audio_library.h"
#include "form/timer.h"

namespace testing_support {

class FakeAudio : public engine::AudioLibrary {
public:
    explicit FakeAudio(const form::VirtualClock& clock) : m_clock(clock) {}

    uint32_t BASS_GetVersion() override;
    int BASS_Init(int device, uint32_t freq, uint32_t flags, void* window) override;
    engine::Handle BASS_StreamCreateFile(const std::string& path, uint32_t flags) override;
    int BASS_ChannelSetAttribute(engine::Handle h, uint32_t attrib, float value) override;
    int BASS_ChannelPlay(engine::Handle h, int restart) override;
    int BASS_ChannelStop(engine::Handle h) override;
    int BASS_StreamFree(engine::Handle h) override;
    uint32_t BASS_ChannelIsActive(engine::Handle h) override;
    int BASS_Stop() override;
    int BASS_Free() override;

    // Settings of the fake.
    uint32_t version = engine::kLibraryVersion;
    int initResult = 1;
    int64_t defaultLengthMs = 5000;           // one-shot length when not listed
    std::map<std::string, int64_t> lengthMs;  // by file name (the path's last part)
    std::set<std::string> missing;            // file names that fail to open

    // What happened.
    std::vector<std::string> calls;   // "create NAME FLAGS", "vol H V", "play H", "stop H", ...
    std::vector<std::string> opened;  // file names of successful creates, in order
    float volumeOf(engine::Handle h) const;
    std::string nameOf(engine::Handle h) const;
    bool isLive(engine::Handle h) const { return m_streams.count(h) != 0; }
    int liveStreams() const { return static_cast<int>(m_streams.size()); }
    std::vector<engine::Handle> liveHandles() const {
        std::vector<engine::Handle> out;
        for (const auto& entry : m_streams) out.push_back(entry.first);
        return out;
    }
    // Only the calls since the last clearCalls().
    void clearCalls() { calls.clear(); }
    // Runs on every call as it is recorded, to observe what else has happened by then.
    std::function<void(const std::string& call)> onCall;

private:
    void record(std::string call);
    struct Stream {
        std::string name;
        bool loop = false;
        bool playing = false;
        int64_t startMs = 0;
        float volume = 1.0f;
    };
    const form::VirtualClock& m_clock;
    std::map<engine::Handle, Stream> m_streams;
    std::map<engine::Handle, float> m_lastVolume;
    std::map<engine::Handle, std::string> m_names;
    engine::Handle m_next = 1;
    bool m_initialised = false;
};

}  // namespace testing_support
