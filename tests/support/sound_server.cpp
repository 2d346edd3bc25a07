#include "tests/support/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace testing_support {

bool pactlOk(const std::string& args) {
    return std::system(("pactl " + args + " >/dev/null 2>&1").c_str()) == 0;
}

SoundServer::SoundServer(std::string runtimeDir, std::vector<std::string> extraModules)
    : m_dir(std::move(runtimeDir)), m_modules(std::move(extraModules)) {}

bool SoundServer::installed() { return std::system("command -v pulseaudio >/dev/null") == 0; }

void SoundServer::exportEnvironment() const {
    // The client library, pactl and the daemon find the private server through these, and keep
    // their cookie and runtime files out of the user's folders.
    setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    setenv("HOME", m_dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + m_dir + "/pulse/native").c_str(), 1);
}

bool SoundServer::start() {
    stop();
    m_error.clear();
    std::vector<std::string> args = {"pulseaudio",
                                     "--exit-idle-time=-1",
                                     "--disallow-exit",
                                     "--system=false",
                                     "-n",
                                     "--load=module-null-sink sink_name=test"};
    for (const std::string& m : m_modules) args.push_back("--load=" + m);
    args.push_back("--load=module-native-protocol-unix");
    args.push_back("--log-target=file:" + m_dir + "/pa.log");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = m_dir + "/pa.out";

    // The exec's failure comes back through a close-on-exec pipe, so a missing daemon is told
    // apart from one that fails later.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return false;
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
        execvp(argv[0], argv.data());
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
        m_error = std::string("cannot run pulseaudio (") +
                  std::strerror(pid < 0 ? forkErrno : execErrno) +
                  "); install the pulseaudio and pulseaudio-utils packages";
        return false;
    }
    m_pid = pid;

    // A start-up deadline only, generous for a loaded machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pactlOk("info")) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "pulseaudio exited at start-up; see " + m_dir + "/pa.log";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            m_error = "pulseaudio did not answer pactl info (pulseaudio-utils missing?); see " +
                      m_dir + "/pa.log";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!pactlOk("set-default-sink test")) {
        m_error = "cannot make the test sink the default";
        return false;
    }
    return true;
}

void SoundServer::stop() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGCONT);  // a test may have left it stopped
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

bool SoundServer::sounding() const {
    FILE* rec = popen(
        "timeout 5 parec -d test.monitor --raw --format=s16le --channels=2 --rate=44100 "
        "2>/dev/null",
        "r");
    if (!rec) return false;
    std::vector<int16_t> samples(44100);
    const size_t got = std::fread(samples.data(), sizeof(int16_t), samples.size(), rec);
    pclose(rec);
    for (size_t i = 0; i < got; ++i) {
        if (std::abs(samples[i]) > 1000) return true;
    }
    return false;
}

}  // namespace testing_support
