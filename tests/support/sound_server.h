// A real PulseAudio server for tests, private to a runtime folder: a daemon with a null sink
// "test" (the default output) and any further modules asked for, run as a child of the test
// process (it dies with it), and the environment that points this process's clients and pactl
// at it. Used by the tests of the audio layer and of the system output level.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

class SoundServer {
public:
    // runtimeDir: an existing private folder (mode 0700). extraModules: further --load arguments,
    // e.g. "module-null-sink sink_name=mono channels=1".
    explicit SoundServer(std::string runtimeDir, std::vector<std::string> extraModules = {});
    ~SoundServer() { stop(); }
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Whether the daemon is installed at all (tests skip without it).
    static bool installed();
    // Sets XDG_RUNTIME_DIR, HOME, XDG_CONFIG_HOME and PULSE_SERVER for this process.
    void exportEnvironment() const;
    // Starts the daemon and waits until it answers and "test" is the default sink. On failure
    // returns false with the reason in error() (the daemon's log stays in the runtime folder).
    bool start();
    // Ends the daemon (SIGTERM) and waits for it; nothing if it does not run.
    void stop();
    // Whether the "test" sink's monitor carries sound: half a second of it, any sample past
    // about -30 dBFS.
    bool sounding() const;

    pid_t pid() const { return m_pid; }
    const std::string& runtimeDir() const { return m_dir; }
    const std::string& error() const { return m_error; }

private:
    std::string m_dir;
    std::vector<std::string> m_modules;
    pid_t m_pid = -1;
    std::string m_error;
};

// Runs pactl with the arguments; whether it succeeded.
bool pactlOk(const std::string& args);

}  // namespace testing_support
