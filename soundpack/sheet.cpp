#include "sheet.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <string>

namespace soundpack {
namespace {

// One spectrogram: 0-16 kHz over the whole file, or over the first 20 s of a longer one, with
// its own time axis in seconds underneath.
constexpr int kWidth = 480, kHeight = 160, kAxis = 14;
constexpr double kMaxSeconds = 20.0, kTopHz = 16000.0;
constexpr int kFft = 1024;

struct Image {
    int w, h;
    std::vector<uint8_t> rgb;
    Image(int width, int height) : w(width), h(height), rgb(size_t(width) * height * 3, 255) {}
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
        p[0] = r, p[1] = g, p[2] = b;
    }
};

// Dark on light, like a printed sonogram: 0 dB black, -80 dB white, with a blue tint in the
// middle so faint reverberation stays visible.
void shade(double db, uint8_t& r, uint8_t& g, uint8_t& b) {
    const double v = std::clamp((db + 80.0) / 80.0, 0.0, 1.0);
    r = static_cast<uint8_t>(255 * (1 - v));
    g = static_cast<uint8_t>(255 * (1 - v) * (1 - 0.15 * v));
    b = static_cast<uint8_t>(255 * (1 - 0.7 * v));
}

// A round step for the time axis that gives at most eight ticks over the span.
double tickStep(double seconds) {
    static const double kSteps[] = {0.1, 0.2, 0.25, 0.5, 1, 2, 2.5, 5, 10};
    for (double st : kSteps)
        if (seconds / st <= 8.0) return st;
    return 10;
}

// The time a picture spans: the file's own length up to kMaxSeconds.
double spanSeconds(const Stereo& s) {
    return std::min(kMaxSeconds, std::max(0.1, static_cast<double>(s.size()) / kRate));
}

void drawSpectrogram(Image& img, int ox, int oy, const Stereo& s, double seconds) {
    std::vector<double> w(kFft);
    for (int i = 0; i < kFft; ++i) w[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / kFft);
    std::vector<std::vector<double>> cols(kWidth, std::vector<double>(kHeight, -200));
    double peak = -200;
    std::vector<std::complex<double>> buf(kFft);
    for (int c = 0; c < kWidth; ++c) {
        // Each column's transform is centred on its time.
        const double centre = (c + 0.5) * seconds / kWidth * kRate;
        const long at = static_cast<long>(centre) - kFft / 2;
        if (at + kFft > static_cast<long>(s.size())) break;
        for (int i = 0; i < kFft; ++i) {
            const long k = at + i;
            buf[i] = k < 0 ? 0.0 : 0.5 * (s.l[k] + s.r[k]) * w[i];
        }
        fft(buf);
        for (int y = 0; y < kHeight; ++y) {
            const double hz = (kHeight - 1 - y + 0.5) * kTopHz / kHeight;
            const int lo = static_cast<int>(hz * kFft / kRate),
                      hi = std::max(lo + 1,
                                    static_cast<int>((hz + kTopHz / kHeight) * kFft / kRate));
            double m = 0;
            for (int k = lo; k < hi && k < kFft / 2; ++k) m = std::max(m, std::norm(buf[k]));
            cols[c][y] = 10 * std::log10(m + 1e-20);
            peak = std::max(peak, cols[c][y]);
        }
    }
    for (int c = 0; c < kWidth; ++c) {
        for (int y = 0; y < kHeight; ++y) {
            uint8_t r, g, b;
            shade(cols[c][y] - peak, r, g, b);
            img.set(ox + c, oy + y, r, g, b);
        }
    }
    // Grid: every 4 kHz, and at every tick of the time axis, faint.
    for (int khz = 4; khz < 16; khz += 4) {
        const int y = oy + kHeight - 1 - static_cast<int>(khz * 1000 / kTopHz * kHeight);
        for (int x = ox; x < ox + kWidth; x += 3) img.set(x, y, 200, 80, 80);
    }
    const double step = tickStep(seconds);
    for (int k = 1; k * step < seconds - 1e-9; ++k) {
        const int x = ox + static_cast<int>(std::lround(k * step / seconds * kWidth));
        for (int y = oy; y < oy + kHeight; y += 3) img.set(x, y, 200, 80, 80);
    }
}

// A 5x7 capital font for the labels (lower case drawn as capitals; anything else as a space).
struct Glyph {
    char ch;
    uint8_t rows[7];  // five columns, most significant of the five bits on the left
};
constexpr Glyph kFont[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
    {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}},
    {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}},
    {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}},
    {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}},
    {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'A', {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'B', {0x1e, 0x11, 0x11, 0x1e, 0x11, 0x11, 0x1e}},
    {'C', {0x0e, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0e}},
    {'D', {0x1c, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1c}},
    {'E', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x1f}},
    {'F', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x10}},
    {'G', {0x0e, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0f}},
    {'H', {0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'I', {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0c}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f}},
    {'M', {0x11, 0x1b, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'P', {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10}},
    {'Q', {0x0e, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0d}},
    {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
    {'S', {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e}},
    {'T', {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0a, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0a}},
    {'X', {0x11, 0x11, 0x0a, 0x04, 0x0a, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0a, 0x04, 0x04, 0x04}},
    {'Z', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1f}},
    {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
};

const uint8_t* glyph(char ch) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const Glyph& g : kFont)
        if (g.ch == ch) return g.rows;
    return nullptr;
}

void drawText(Image& img, int x, int y, const std::string& text, int scale, uint8_t grey = 0) {
    for (char ch : text) {
        if (const uint8_t* g = glyph(ch)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col) {
                    if (!(g[row] & (0x10 >> col))) continue;
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            img.set(x + col * scale + dx, y + row * scale + dy, grey, grey, grey);
                }
        }
        x += 6 * scale;
    }
}

// Seconds as the axis prints them: "0", "1.5", "0.25".
std::string secondsText(double v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string t = buf;
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    return t;
}

// The time axis under a spectrogram (ticks labelled in seconds, the span's end marked with its
// length) and the kHz of the grid lines inside it.
void drawAxes(Image& img, int ox, int oy, double seconds) {
    const int base = oy + kHeight;
    for (int x = ox; x < ox + kWidth; ++x) img.set(x, base, 90, 90, 90);
    const std::string end = secondsText(seconds) + " S";
    const int endX = ox + kWidth - static_cast<int>(end.size()) * 6;
    drawText(img, endX, base + 5, end, 1, 0);
    const double step = tickStep(seconds);
    for (int k = 0; k * step < seconds; ++k) {
        const int x = ox + static_cast<int>(std::lround(k * step / seconds * kWidth));
        for (int y = base; y < base + 3; ++y) img.set(x, y, 90, 90, 90);
        const std::string t = secondsText(k * step);
        const int tx = std::max(ox, x - static_cast<int>(t.size()) * 3);
        if (tx + static_cast<int>(t.size()) * 6 < endX - 4) drawText(img, tx, base + 5, t, 1, 60);
    }
    for (int khz = 4; khz < 16; khz += 4) {
        const int y = oy + kHeight - 1 - static_cast<int>(khz * 1000 / kTopHz * kHeight);
        drawText(img, ox + 2, y - 8, std::to_string(khz) + "K", 1, 150);
    }
}

void chunk(FILE* f, const char* type, const std::vector<uint8_t>& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    const uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    std::fwrite(len, 1, 4, f);
    std::fwrite(type, 1, 4, f);
    if (n) std::fwrite(data.data(), 1, n, f);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (n) crc = crc32(crc, data.data(), n);
    const uint8_t c[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    std::fwrite(c, 1, 4, f);
}

bool writePng(const std::string& path, const Image& img) {
    std::vector<uint8_t> raw;
    raw.reserve(size_t(img.h) * (img.w * 3 + 1));
    for (int y = 0; y < img.h; ++y) {
        raw.push_back(0);  // no row filter
        raw.insert(raw.end(), img.rgb.begin() + size_t(y) * img.w * 3,
                   img.rgb.begin() + size_t(y + 1) * img.w * 3);
    }
    uLongf packed = compressBound(raw.size());
    std::vector<uint8_t> z(packed);
    if (compress2(z.data(), &packed, raw.data(), raw.size(), 6) != Z_OK) return false;
    z.resize(packed);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::fwrite(kSignature, 1, 8, f);
    const uint32_t w = img.w, h = img.h;
    chunk(f, "IHDR",
          {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w), uint8_t(h >> 24),
           uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h), 8, 2, 0, 0, 0});
    chunk(f, "IDAT", z);
    chunk(f, "IEND", {});
    return std::fclose(f) == 0;
}

}  // namespace

bool writeSheet(const std::string& dir, const std::vector<SheetItem>& items, std::string* error) {
    constexpr int kLabel = 18, kCols = 4, kPad = 8;
    constexpr int kCell = kLabel + kHeight + kAxis;
    const int rows = static_cast<int>((items.size() + kCols - 1) / kCols);
    Image page(kCols * (kWidth + kPad) + kPad, rows * (kCell + kPad) + kPad + 30);
    drawText(page, kPad, 8,
             "OMBRELIN SOUND PACK - 0-16 KHZ, WHOLE FILE OR FIRST 20 S, TIME IN SECONDS", 2);
    for (size_t i = 0; i < items.size(); ++i) {
        const SheetItem& it = items[i];
        const double seconds = spanSeconds(it.audio);
        Image one(kWidth, kCell);
        drawText(one, 2, 4, it.label, 2);
        drawSpectrogram(one, 0, kLabel, it.audio, seconds);
        drawAxes(one, 0, kLabel, seconds);
        if (!writePng(dir + "/" + it.file + ".png", one)) {
            if (error) *error = "cannot write " + dir + "/" + it.file + ".png";
            return false;
        }
        const int ox = kPad + static_cast<int>(i % kCols) * (kWidth + kPad);
        const int oy = 30 + kPad + static_cast<int>(i / kCols) * (kCell + kPad);
        for (int y = 0; y < one.h; ++y)
            for (int x = 0; x < one.w; ++x) {
                const uint8_t* p = &one.rgb[(size_t(y) * one.w + x) * 3];
                page.set(ox + x, oy + y, p[0], p[1], p[2]);
            }
    }
    if (!writePng(dir + "/sheet.png", page)) {
        if (error) *error = "cannot write " + dir + "/sheet.png";
        return false;
    }
    return true;
}

}  // namespace soundpack
