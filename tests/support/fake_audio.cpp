#include "tests/support/fake_audio.h"

#include <cstdio>

namespace testing_support {

namespace {
std::string fileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
std::string formatVolume(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}
}  // namespace

uint32_t FakeAudio::BASS_GetVersion() {
    record("version");
    return version;
}

int FakeAudio::BASS_Init(int device, uint32_t freq, uint32_t, void*) {
    record("init " + std::to_string(device) + " " + std::to_string(freq));
    m_initialised = initResult != 0;
    return initResult;
}

engine::Handle FakeAudio::BASS_StreamCreateFile(const std::string& path, uint32_t flags) {
    const std::string name = fileName(path);
    record("create " + name + " " + std::to_string(flags));
    if (!m_initialised || missing.count(name)) return 0;
    const engine::Handle h = m_next++;
    Stream s;
    s.name = name;
    s.loop = (flags & engine::kSampleLoop) != 0;
    m_streams[h] = s;
    m_names[h] = name;
    opened.push_back(name);
    return h;
}

int FakeAudio::BASS_ChannelSetAttribute(engine::Handle h, uint32_t attrib, float value) {
    record("vol " + std::to_string(h) + " " + formatVolume(value));
    auto it = m_streams.find(h);
    if (it == m_streams.end() || attrib != engine::kAttribVolume) return 0;
    it->second.volume = value;
    m_lastVolume[h] = value;
    return 1;
}

int FakeAudio::BASS_ChannelPlay(engine::Handle h, int) {
    record("play " + std::to_string(h));
    auto it = m_streams.find(h);
    if (it == m_streams.end()) return 0;
    if (!it->second.playing) {
        it->second.playing = true;
        it->second.startMs = m_clock.now();
    }
    return 1;
}

int FakeAudio::BASS_ChannelStop(engine::Handle h) {
    record("stop " + std::to_string(h));
    auto it = m_streams.find(h);
    if (it == m_streams.end()) return 0;
    it->second.playing = false;
    return 1;
}

int FakeAudio::BASS_StreamFree(engine::Handle h) {
    record("free " + std::to_string(h));
    return m_streams.erase(h) ? 1 : 0;
}

uint32_t FakeAudio::BASS_ChannelIsActive(engine::Handle h) {
    auto it = m_streams.find(h);
    if (it == m_streams.end() || !it->second.playing) return 0;
    const Stream& s = it->second;
    if (s.loop) return 1;
    auto len = lengthMs.find(s.name);
    const int64_t length = len == lengthMs.end() ? defaultLengthMs : len->second;
    return m_clock.now() < s.startMs + length ? 1 : 0;
}

int FakeAudio::BASS_Stop() {
    record("stopall");
    for (auto& [h, s] : m_streams) s.playing = false;
    return 1;
}

int FakeAudio::BASS_Free() {
    record("freeall");
    m_streams.clear();
    m_initialised = false;
    return 1;
}

void FakeAudio::record(std::string call) {
    calls.push_back(std::move(call));
    if (onCall) onCall(calls.back());
}

float FakeAudio::volumeOf(engine::Handle h) const {
    auto it = m_lastVolume.find(h);
    return it == m_lastVolume.end() ? -1.0f : it->second;
}

std::string FakeAudio::nameOf(engine::Handle h) const {
    auto it = m_names.find(h);
    return it == m_names.end() ? "" : it->second;
}

}  // namespace testing_support
