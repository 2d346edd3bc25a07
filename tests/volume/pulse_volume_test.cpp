// The output level against a private sound server: a daemon with null sinks in a temp runtime
// folder, read back with pactl so the check does not trust the code under test.
#include "engine/volume/pulse_volume.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string makeTempDir() {
    char pattern[] = "/tmp/ombrelin-volume-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) return {};
    chmod(dir, 0700);
    return dir;
}

void removeTree(const std::string& dir) {
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
}

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The raw value of every channel of the default sink, as pactl reports them.
std::vector<long> pactlVolumes() {
    const std::string out = run("pactl get-sink-volume @DEFAULT_SINK@");
    static const std::regex raw(R"(:\s*(\d+)\s*/)");
    std::vector<long> values;
    for (std::sregex_iterator it(out.begin(), out.end(), raw), end; it != end; ++it)
        values.push_back(std::stol((*it)[1]));
    return values;
}

bool pactlOk(const std::string& args) {
    return std::system(("pactl " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts the daemon as a child that dies with this process, so a crashed or killed test run
// leaves no server behind. Its own output (the warning about running as root) goes to outPath.
// Returns -1 with a message when it cannot be started.
pid_t startDaemon(char* const argv[], const std::string& outPath, std::string* error) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = "pipe failed";
        return -1;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    const int forkErrno = errno;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execvp(argv[0], argv);
        const int e = errno;
        (void)!write(report[1], &e, sizeof e);
        _exit(127);
    }
    close(report[1]);
    int execErrno = 0;
    const bool execFailed = pid > 0 && read(report[0], &execErrno, sizeof execErrno) > 0;
    close(report[0]);
    if (pid < 0 || execFailed) {
        if (pid > 0) waitpid(pid, nullptr, 0);
        *error = std::string("cannot run ") + argv[0] + " (" +
                 std::strerror(pid < 0 ? forkErrno : execErrno) +
                 "); install the pulseaudio and pulseaudio-utils packages";
        return -1;
    }
    return pid;
}

uint32_t wordForPosition(uint32_t position) {
    const uint32_t v = position * 650;
    return v + v * 65536;
}

// Sets an environment variable for one scope and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class PulseVolumeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = makeTempDir();
        if (s_dir.empty()) {
            s_error = "cannot create a temp folder";
            return;
        }
        // The client library, pactl and the daemon all find the private server through these,
        // and keep their cookie and runtime files out of the user's folders.
        setenv("XDG_RUNTIME_DIR", s_dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (s_dir + "/config").c_str(), 1);
        setenv("PULSE_SERVER", ("unix:" + s_dir + "/pulse/native").c_str(), 1);

        const std::string log = "--log-target=file:" + s_dir + "/pa.log";
        std::vector<std::string> args = {"pulseaudio",
                                         "--exit-idle-time=-1",
                                         "--disallow-exit",
                                         "--system=false",
                                         "-n",
                                         "--load=module-null-sink sink_name=test",
                                         "--load=module-null-sink sink_name=mono channels=1",
                                         "--load=module-null-sink sink_name=six channels=6",
                                         "--load=module-native-protocol-unix",
                                         log};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        s_pid = startDaemon(argv.data(), s_dir + "/pa.out", &s_error);
        if (s_pid < 0) return;

        // Startup deadline only, generous for a loaded machine.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!pactlOk("info")) {
            int status = 0;
            if (waitpid(s_pid, &status, WNOHANG) == s_pid) {
                s_pid = -1;
                s_error = "pulseaudio exited at startup; see " + s_dir + "/pa.log";
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                s_error = "pulseaudio did not answer pactl info (pulseaudio-utils missing?); see " +
                          s_dir + "/pa.log";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!pactlOk("set-default-sink test")) s_error = "cannot make the test sink the default";
    }

    static void TearDownTestSuite() {
        if (s_pid > 0) {
            kill(s_pid, SIGTERM);
            waitpid(s_pid, nullptr, 0);
            s_pid = -1;
        }
        // Keep the daemon's log when it failed to come up.
        if (s_error.empty() || access((s_dir + "/pa.log").c_str(), F_OK) != 0) removeTree(s_dir);
    }

    void SetUp() override {
        ASSERT_TRUE(s_error.empty()) << s_error;
        ASSERT_TRUE(pactlOk("set-default-sink test"));
    }

    static std::string s_dir;
    static std::string s_error;
    static pid_t s_pid;

    engine::PulseVolume m_volume;
};

std::string PulseVolumeTest::s_dir;
std::string PulseVolumeTest::s_error;
pid_t PulseVolumeTest::s_pid = -1;

TEST_F(PulseVolumeTest, SliderPositionsReadBackExactly) {
    const struct {
        uint32_t position;
        long raw;
    } cases[] = {{0, 0}, {1, 650}, {30, 19500}, {50, 32500}, {100, 65001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_TRUE(m_volume.setWaveVolume(wordForPosition(c.position)));
        EXPECT_EQ(pactlVolumes(), std::vector<long>(2, c.raw));
        EXPECT_EQ(engine::readDefaultSinkVolume(), c.raw);
    }
}

TEST_F(PulseVolumeTest, SilenceIsVolumeZeroAndTheLevelComesBack) {
    ASSERT_TRUE(m_volume.setWaveVolume(wordForPosition(50)));
    ASSERT_TRUE(m_volume.setWaveVolume(0));
    EXPECT_EQ(pactlVolumes(), std::vector<long>(2, 0));
    EXPECT_EQ(run("pactl get-sink-mute @DEFAULT_SINK@"), "Mute: no\n");
    ASSERT_TRUE(m_volume.setWaveVolume(wordForPosition(50)));
    EXPECT_EQ(pactlVolumes(), std::vector<long>(2, 32500));
}

TEST_F(PulseVolumeTest, EverySinkLayoutGetsTheLevelOnAllChannels) {
    const struct {
        const char* sink;
        size_t channels;
    } sinks[] = {{"mono", 1}, {"six", 6}, {"test", 2}};
    for (const auto& s : sinks) {
        SCOPED_TRACE(s.sink);
        ASSERT_TRUE(pactlOk(std::string("set-default-sink ") + s.sink));
        EXPECT_TRUE(m_volume.setWaveVolume(wordForPosition(70)));
        EXPECT_EQ(pactlVolumes(), std::vector<long>(s.channels, 45501));
    }
}

// Unreachable servers: nothing is set, nothing printed, and the call comes back. ALSA's default
// mixer is pointed at the same server through its pulse plugin, as on a desktop where it routes
// through the sound server: a refused server goes through the fallback (and its error output),
// a hung one must not reach ALSA at all, since the plugin would wait on it forever. It also keeps
// the fallback from finding a real card on the machine running the tests.
TEST_F(PulseVolumeTest, UnreachableServerSetsNothingAndStaysQuiet) {
    ASSERT_TRUE(m_volume.setWaveVolume(wordForPosition(30)));

    const std::string alsaConf = s_dir + "/alsa.conf";
    FILE* f = std::fopen(alsaConf.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("ctl.!default { type pulse }\n", f);
    std::fclose(f);

    // A listener that never answers stands for a hung server; its backlog shows who connected.
    const std::string hungSocket = s_dir + "/hung";
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, hungSocket.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 16), 0);
    std::vector<int> accepted;

    const std::string freshRuntime = makeTempDir();
    ASSERT_FALSE(freshRuntime.empty());
    const struct {
        std::string server;
        size_t connections;  // to the hung listener: one per call, none from ALSA
    } cases[] = {{"unix:/nonexistent/native", 0}, {"unix:" + hungSocket, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        ScopedEnv runtime("XDG_RUNTIME_DIR", freshRuntime);
        ScopedEnv pulse("PULSE_SERVER", c.server);
        ScopedEnv alsa("ALSA_CONFIG_PATH", alsaConf);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool set = m_volume.setWaveVolume(wordForPosition(80));
        const int64_t read = engine::readDefaultSinkVolume();
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(set);
        EXPECT_EQ(read, -1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");

        for (int fd; (fd = accept(listener, nullptr, nullptr)) >= 0;) accepted.push_back(fd);
        EXPECT_EQ(accepted.size(), c.connections);
        for (int fd : accepted) close(fd);
        accepted.clear();
    }
    close(listener);
    removeTree(freshRuntime);

    EXPECT_EQ(pactlVolumes(), std::vector<long>(2, 19500));
}

TEST(PaVolumeForLevel, RoundsToTheNearestRawVolume) {
    const struct {
        uint16_t level;
        uint32_t raw;
    } cases[] = {{0, 0},         {1, 1},         {650, 650},       {32767, 32767},
                 {32768, 32769}, {65000, 65001}, {65535, 0x10000u}};
    for (const auto& c : cases) EXPECT_EQ(engine::paVolumeForLevel(c.level), c.raw) << c.level;
}

}  // namespace
