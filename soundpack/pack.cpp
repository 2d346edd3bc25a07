#include "pack.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

#include "birds.h"
#include "loudness.h"
#include "synth.h"

namespace soundpack {
namespace {

std::vector<Entry> makeCatalogue() {
    std::vector<Entry> c;
    uint64_t seed = 0x0B1E5EEDull;
    auto add = [&](const char* folder, std::string name, const char* sound, Kind kind, int index,
                   double full, double shortSec) {
        c.push_back({folder, std::move(name), sound, kind, index, full, shortSec, ++seed * 7919});
    };
    add("samp_povt", "ruchey3", "brook", Kind::Loop, 0, 90, 4);
    add("samp_povt", "ruchey4", "brook", Kind::Loop, 1, 75, 4);
    add("samp_povt", "pticv1", "chorus", Kind::Loop, 1, 120, 5);
    add("samp_povt", "pticv2", "chorus", Kind::Loop, 2, 100, 5);
    add("samp_povt", "dogd3", "rain", Kind::Loop, 0, 90, 4);
    add("samp_povt", "dogd_gr", "thunder", Kind::Loop, 0, 180, 12);
    for (int i = 1; i <= kSongCount; ++i)
        add("samp_raz", "pticp" + std::to_string(i), "song", Kind::OneShot, i, 0, 0);
    for (int i = 1; i <= kInsectCount; ++i)
        add("samp_raz", "nas" + std::to_string(i), "insect", Kind::OneShot, i, 0, 0);
    for (int i = 1; i <= kCallCount; ++i)
        add("samp_raz", "pticd" + std::to_string(i), "call", Kind::OneShot, i, 0, 0);
    add("samp_raz", "dogd2", "rain", Kind::Long, 0, 720, 6);
    add("samp_raz", "dogd_gr3", "rain", Kind::Long, 1, 720, 8);
    return c;
}

// Scales to a loudness target, then limits peaks and corrects the gain the limiter took, so the
// level holds within a fraction of a dB and no peak comes near full scale after encoding.
void level(Stereo& s, size_t measureFrames, double targetLufs, bool loudestWindow) {
    auto measure = [&]() {
        Stereo part(measureFrames);
        std::copy(s.l.begin(), s.l.begin() + static_cast<long>(measureFrames), part.l.begin());
        std::copy(s.r.begin(), s.r.begin() + static_cast<long>(measureFrames), part.r.begin());
        return loudestWindow ? maxMomentaryLoudness(part) : integratedLoudness(part);
    };
    for (int pass = 0; pass < 3; ++pass) {
        const double lufs = measure();
        if (lufs < -150) return;
        s.scale(dbToGain(targetLufs - lufs));
        limitPeaks(s, kPeakCeiling, 0.004);
    }
}

}  // namespace

const std::vector<Entry>& catalogue() {
    static const std::vector<Entry> c = makeCatalogue();
    return c;
}

std::string describe(const Entry& e) {
    if (e.sound == "song") return songSpecies(speciesOfFile(e.index)).name;
    if (e.sound == "call") return callKind(callOfFile(e.index)).name;
    if (e.sound == "insect") return insectName(e.index);
    if (e.sound == "brook") return e.index == 1 ? "lively brook" : "small brook";
    if (e.sound == "chorus") return "dawn chorus " + std::to_string(e.index);
    if (e.sound == "thunder") return "thunder bed";
    if (e.kind == Kind::Long) return e.index == 1 ? "12 min rain with storm" : "12 min rain";
    return "steady rain";
}

const Entry* findEntry(const std::string& name) {
    for (const Entry& e : catalogue()) {
        if (e.name == name || e.folder + "/" + e.name == name) return &e;
    }
    return nullptr;
}

Rendered render(const Entry& e, bool shortMode, size_t extra) {
    Rng rng(e.seed);
    Rendered out;
    const size_t length = frames(shortMode ? e.shortSeconds : e.fullSeconds);
    switch (e.kind) {
        case Kind::Loop: {
            if (e.sound == "brook") out.audio = renderBrook(e.index == 1, length, extra, rng);
            if (e.sound == "chorus") out.audio = renderChorus(e.index, length, extra, rng);
            if (e.sound == "rain") out.audio = renderRainLoop(length, extra, rng);
            if (e.sound == "thunder") out.audio = renderThunderBed(length, extra, rng);
            out.fileFrames = length;
            // The DC estimate and gain come from the loop alone, so the continuation gets the
            // same treatment sample for sample.
            double ml = 0, mr = 0;
            for (size_t i = 0; i < length; ++i) {
                ml += out.audio.l[i];
                mr += out.audio.r[i];
            }
            ml /= static_cast<double>(length);
            mr /= static_cast<double>(length);
            for (size_t i = 0; i < out.audio.size(); ++i) {
                out.audio.l[i] = static_cast<float>(out.audio.l[i] - ml);
                out.audio.r[i] = static_cast<float>(out.audio.r[i] - mr);
            }
            level(out.audio, length, kLoopLufs, false);
            return out;
        }
        case Kind::Long: {
            out.audio = renderLongRain(length, e.index == 1, rng);
            removeDc(out.audio);
            level(out.audio, out.audio.size(), kLoopLufs, false);
            const double sec = static_cast<double>(length) / kRate;
            fadeEdges(out.audio, std::min(3.0, 0.2 * sec), std::min(4.0, 0.25 * sec));
            break;
        }
        case Kind::OneShot: {
            if (e.sound == "song") out.audio = renderSong(e.index, rng);
            if (e.sound == "call") out.audio = renderCall(e.index, rng);
            if (e.sound == "insect") out.audio = renderInsect(e.index, rng);
            removeDc(out.audio);
            level(out.audio, out.audio.size(), kOneShotLufs, true);
            fadeEdges(out.audio, 0.02, 0.25);
            break;
        }
    }
    // Ten milliseconds of true silence at both ends of every one-shot.
    Stereo padded(out.audio.size() + frames(0.02));
    addStereo(padded, static_cast<long>(frames(0.01)), out.audio, 1.0, false);
    out.audio = std::move(padded);
    out.fileFrames = out.audio.size();
    return out;
}

uint64_t pcmHash(const Stereo& audio, size_t frameCount) {
    uint64_t h = 0xcbf29ce484222325ull;
    auto eat = [&](float v) {
        const long q = std::lrint(std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767.0);
        const uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(q));
        h = (h ^ (u & 0xff)) * 0x100000001b3ull;
        h = (h ^ (u >> 8)) * 0x100000001b3ull;
    };
    for (size_t i = 0; i < frameCount && i < audio.size(); ++i) {
        eat(audio.l[i]);
        eat(audio.r[i]);
    }
    return h;
}

bool writeOgg(const std::string& path, const Stereo& audio, size_t frameCount, double quality,
              std::string* error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(kRate);
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        if (error) *error = sf_strerror(nullptr);
        return false;
    }
    double q = quality;
    sf_command(f, SFC_SET_VBR_ENCODING_QUALITY, &q, sizeof(q));
    std::vector<float> block;
    const size_t chunk = 8192;
    bool ok = true;
    for (size_t pos = 0; pos < frameCount && ok; pos += chunk) {
        const size_t n = std::min(chunk, frameCount - pos);
        block.resize(2 * n);
        for (size_t i = 0; i < n; ++i) {
            block[2 * i] = audio.l[pos + i];
            block[2 * i + 1] = audio.r[pos + i];
        }
        ok = sf_writef_float(f, block.data(), static_cast<sf_count_t>(n)) ==
             static_cast<sf_count_t>(n);
    }
    if (!ok && error) *error = sf_strerror(f);
    sf_close(f);
    return ok;
}

bool decodeFile(const std::string& path, Stereo* audio, std::string* error) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) {
        if (error) *error = sf_strerror(nullptr);
        return false;
    }
    *audio = Stereo();
    std::vector<float> block(8192 * static_cast<size_t>(info.channels));
    for (;;) {
        const sf_count_t n = sf_readf_float(f, block.data(), 8192);
        if (n <= 0) break;
        for (sf_count_t i = 0; i < n; ++i) {
            const float l = block[static_cast<size_t>(i * info.channels)];
            const float r =
                info.channels > 1 ? block[static_cast<size_t>(i * info.channels + 1)] : l;
            audio->l.push_back(l);
            audio->r.push_back(r);
        }
    }
    const int err = sf_error(f);
    if (err && error) *error = sf_strerror(f);
    sf_close(f);
    return err == 0;
}

}  // namespace soundpack
