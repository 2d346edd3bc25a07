#include "app/platform_choice.h"

#include <cstdlib>
#include <cstring>

namespace app {

std::string requestedPlatform(const std::function<std::string(const char*)>& environment, int argc,
                              const char* const* argv) {
    // Qt ignores an empty QT_QPA_PLATFORM, so an empty one is no choice either.
    if (!environment("QT_QPA_PLATFORM").empty()) return {};
    for (int i = 1; i < argc; ++i) {
        // Qt reads its own options with one dash or two.
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return {};
    }
    // No X server to run on (a Wayland-only session): Qt's choice. Where DISPLAY is set the
    // session is X11 (Qt would pick X11 anyway) or Wayland with XWayland.
    if (environment("DISPLAY").empty()) return {};
    return "xcb;wayland";
}

void choosePlatform(int argc, char** argv) {
    const std::string platform = requestedPlatform(
        [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value ? value : "");
        },
        argc, argv);
    if (!platform.empty()) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

}  // namespace app
