// ombrelin_soundpack: renders the default sound pack into <out>/samp_povt and <out>/samp_raz and
// writes a manifest of every file's length and PCM hash beside them.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dsp.h"
#include "pack.h"
#include "sheet.h"

namespace {

constexpr double kQuality = 0.4;
constexpr const char* kManifest = "soundpack-manifest.txt";

struct Options {
    std::string out = ".";
    std::string only;
    std::string sheet;
    bool shortMode = false;
    int jobs = 0;
};

void usage() {
    std::fprintf(stderr,
                 "usage: ombrelin_soundpack [--out DIR] [--only NAME] [--short] [--jobs N]\n"
                 "       ombrelin_soundpack [--out DIR] --sheet SHEETDIR\n"
                 "  renders the default sound pack into DIR/samp_povt and DIR/samp_raz;\n"
                 "  with --sheet, draws the pack found in DIR as spectrograms into SHEETDIR\n");
}

bool parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* dst) {
            if (i + 1 >= argc) return false;
            *dst = argv[++i];
            return true;
        };
        std::string jobs;
        if (a == "--out") {
            if (!value(&o->out)) return false;
        } else if (a == "--only") {
            if (!value(&o->only)) return false;
        } else if (a == "--sheet") {
            if (!value(&o->sheet)) return false;
        } else if (a == "--short") {
            o->shortMode = true;
        } else if (a == "--jobs") {
            if (!value(&jobs)) return false;
            o->jobs = std::atoi(jobs.c_str());
        } else {
            return false;
        }
    }
    return true;
}

// The manifest keeps lines of files not rendered this run, so --only updates one line.
std::map<std::string, std::string> readManifest(const std::string& path) {
    std::map<std::string, std::string> lines;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, f)) {
            std::string line(buf);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            lines[line.substr(0, line.find(' '))] = line;
        }
        std::fclose(f);
    }
    return lines;
}

// The contact sheet of the pack already in `packDir`, decoded as the program would play it.
int drawSheet(const std::string& packDir, const std::string& sheetDir) {
    using namespace soundpack;
    ::mkdir(sheetDir.c_str(), 0755);
    std::vector<SheetItem> items;
    for (const Entry& e : catalogue()) {
        SheetItem it;
        std::string error;
        if (!decodeFile(packDir + "/" + e.folder + "/" + e.name, &it.audio, &error)) {
            std::fprintf(stderr, "ombrelin_soundpack: %s/%s: %s\n", e.folder.c_str(),
                         e.name.c_str(), error.c_str());
            return 1;
        }
        it.file = e.name;
        it.label = e.name + " " + describe(e);
        items.push_back(std::move(it));
    }
    std::string error;
    if (!writeSheet(sheetDir, items, &error)) {
        std::fprintf(stderr, "ombrelin_soundpack: %s\n", error.c_str());
        return 1;
    }
    std::printf("sound pack sheet: %zu pictures and sheet.png in %s\n", items.size(),
                sheetDir.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace soundpack;
    Options opt;
    if (!parse(argc, argv, &opt)) {
        usage();
        return 2;
    }
    if (!opt.sheet.empty()) return drawSheet(opt.out, opt.sheet);
    std::vector<const Entry*> todo;
    if (!opt.only.empty()) {
        const Entry* e = findEntry(opt.only);
        if (!e) {
            std::fprintf(stderr, "ombrelin_soundpack: no file named %s\n", opt.only.c_str());
            return 2;
        }
        todo.push_back(e);
    } else {
        for (const Entry& e : catalogue()) todo.push_back(&e);
    }
    // Longest first, so the two cores finish together.
    std::stable_sort(todo.begin(), todo.end(), [](const Entry* a, const Entry* b) {
        return a->fullSeconds > b->fullSeconds;
    });
    ::mkdir(opt.out.c_str(), 0755);
    ::mkdir((opt.out + "/samp_povt").c_str(), 0755);
    ::mkdir((opt.out + "/samp_raz").c_str(), 0755);

    const int jobs = opt.jobs > 0
                         ? opt.jobs
                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    size_t done = 0;
    std::map<std::string, std::string> results;
    const auto start = std::chrono::steady_clock::now();
    auto worker = [&]() {
        for (size_t i = next++; i < todo.size(); i = next++) {
            const Entry& e = *todo[i];
            const auto t0 = std::chrono::steady_clock::now();
            const Rendered r = render(e, opt.shortMode);
            const std::string rel = e.folder + "/" + e.name;
            const std::string path = opt.out + "/" + rel;
            const std::string tmp = path + ".part";
            std::string error;
            Stereo decoded;
            bool ok = writeOgg(tmp, r.audio, r.fileFrames, kQuality, &error) &&
                      decodeFile(tmp, &decoded, &error);
            if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
                ok = false;
                error = std::strerror(errno);
            }
            const double sec = static_cast<double>(r.fileFrames) / kRate;
            const double took =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            char line[256];
            std::snprintf(line, sizeof line, "%s %.3f %016" PRIx64, rel.c_str(), sec,
                          pcmHash(decoded, decoded.size()));
            std::lock_guard<std::mutex> g(lock);
            ++done;
            if (!ok) {
                failed = true;
                std::fprintf(stderr, "ombrelin_soundpack: %s: %s\n", rel.c_str(), error.c_str());
                continue;
            }
            results[rel] = line;
            std::printf("[%2zu/%zu] %-20s %7.1f s of audio in %5.2f s\n", done, todo.size(),
                        rel.c_str(), sec, took);
            std::fflush(stdout);
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < jobs; ++i) threads.emplace_back(worker);
    for (auto& t : threads) t.join();

    const std::string manifestPath = opt.out + "/" + kManifest;
    std::map<std::string, std::string> manifest = readManifest(manifestPath);
    for (const auto& kv : results) manifest[kv.first] = kv.second;
    if (FILE* f = std::fopen((manifestPath + ".part").c_str(), "w")) {
        std::fprintf(f,
                     "# file seconds pcm-hash (FNV-1a 64 of the decoded audio quantised to "
                     "16 bits, interleaved)%s\n",
                     opt.shortMode ? " -- short mode" : "");
        for (const auto& kv : manifest) std::fprintf(f, "%s\n", kv.second.c_str());
        std::fclose(f);
        std::rename((manifestPath + ".part").c_str(), manifestPath.c_str());
    } else {
        std::fprintf(stderr, "ombrelin_soundpack: cannot write %s\n", manifestPath.c_str());
        return 1;
    }
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sound pack: %zu files in %.1f s on %d threads\n", results.size(), total, jobs);
    return failed ? 1 : 0;
}
