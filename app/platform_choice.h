// Which Qt platform the program asks for at start-up. Minimising to the tray needs to learn that
// the window was minimised, and only X11 tells a client that; a Wayland compositor never does.
// So in a Wayland session that also offers XWayland the program runs on X11, unless the user has
// chosen a platform: QT_QPA_PLATFORM, or a -platform argument, always wins.
#pragma once

#include <functional>
#include <string>

namespace app {

// The value for QT_QPA_PLATFORM, or an empty string to leave Qt's own choice. `environment`
// returns a variable's value, empty when unset. X11 comes first with Wayland as the fallback, so
// a DISPLAY whose server is gone still leaves the program a window.
std::string requestedPlatform(const std::function<std::string(const char*)>& environment, int argc,
                              const char* const* argv);

// Sets QT_QPA_PLATFORM in this process as above. Call before QApplication is constructed.
void choosePlatform(int argc, char** argv);

}  // namespace app
