// The output level against a private sound server: a daemon with null sinks in a temp runtime
// folder, read back with pactl so the check does not trust the code under test.
#include "engine/volume/pulse_volume.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sound_server.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::pactlOk;
using testing_support::SoundServer;
using testing_support::TempDir;

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
        s_dir = std::make_unique<TempDir>("volume");
        if (s_dir->path().empty()) {
            s_error = "cannot create a temp folder";
            return;
        }
        s_server = std::make_unique<SoundServer>(
            s_dir->path(), std::vector<std::string>{"module-null-sink sink_name=mono channels=1",
                                                    "module-null-sink sink_name=six channels=6"});
        s_server->exportEnvironment();
        if (!s_server->start()) s_error = s_server->error();
    }

    static void TearDownTestSuite() {
        s_server.reset();
        // Keep the daemon's log when it failed to come up.
        if (!s_error.empty()) (void)s_dir.release();
        s_dir.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(s_error.empty()) << s_error;
        ASSERT_TRUE(pactlOk("set-default-sink test"));
    }

    static std::unique_ptr<TempDir> s_dir;
    static std::unique_ptr<SoundServer> s_server;
    static std::string s_error;

    engine::PulseVolume m_volume;
};

std::unique_ptr<TempDir> PulseVolumeTest::s_dir;
std::unique_ptr<SoundServer> PulseVolumeTest::s_server;
std::string PulseVolumeTest::s_error;

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

// The word's two channel levels may differ; the sink then takes the louder one on every channel.
TEST_F(PulseVolumeTest, TheLouderOfTwoChannelLevelsWins) {
    const struct {
        uint32_t word;
        long raw;
    } cases[] = {
        {0x00004C2C, 19500}, {0x4C2C0000, 19500}, {0x028A7EF4, 32500}, {0x7EF4028A, 32500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_TRUE(m_volume.setWaveVolume(c.word));
        EXPECT_EQ(pactlVolumes(), std::vector<long>(2, c.raw));
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

    const std::string alsaConf = s_dir->file("alsa.conf");
    FILE* f = std::fopen(alsaConf.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("ctl.!default { type pulse }\n", f);
    std::fclose(f);

    // A listener that never answers stands for a hung server; its backlog shows who connected.
    const std::string hungSocket = s_dir->file("hung");
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, hungSocket.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 16), 0);
    std::vector<int> accepted;

    const TempDir freshRuntimeDir("volume-runtime");
    const std::string& freshRuntime = freshRuntimeDir.path();
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
