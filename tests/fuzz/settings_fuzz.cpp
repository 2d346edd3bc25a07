// Starts the window's logic over whatever bytes it is given as the settings file, lets the
// layers run for a while of virtual time, and closes. Whatever the file holds: start-up never
// fails on it, no more streams live than the layers have slots, the close frees every stream, and
// the file the close saves loads back without an error to the very same file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/settings_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/harness.h"

namespace {

using testing_support::Harness;

// The eight stream slots of the engine: brook, distant birds, two songbird voices, insects,
// extra birds, rain and thunder.
constexpr int kStreamSlots = 8;
// Long enough for the occasional layers to come round a few times.
constexpr int64_t kRunMs = 3 * 60 * 1000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string saved;
    {
        Harness h;
        h.writeSettings(std::string(reinterpret_cast<const char*>(data), size));
        FUZZ_CHECK(h.app->FormCreate());
        for (int64_t t = 0; t < kRunMs; t += 1000) {
            h.clock.advance(1000);
            FUZZ_CHECK(h.audio.liveStreams() <= kStreamSlots);
        }
        h.app->FormCloseQuery();
        FUZZ_CHECK(h.audio.liveStreams() == 0);
        saved = h.readSettings();
        FUZZ_CHECK(settings::splitLines(saved).size() == settings::kLineCount);
    }
    Harness again;
    again.writeSettings(saved);
    FUZZ_CHECK(again.app->FormCreate());
    FUZZ_CHECK(again.app->settingsFile().settingsError.empty());
    FUZZ_CHECK(settings::serialize(again.f()) == saved);
    again.app->FormCloseQuery();
    return 0;
}
