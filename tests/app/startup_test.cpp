// Start-up and close of the window logic over fakes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/single_instance.h"
#include "engine/random.h"
#include "tests/support/harness.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

// The lock code's fchmod, made to fail when a test sets the error it fails with (a file system
// that refuses the mode); otherwise the system call itself.
int g_fchmodFailsWith = 0;
extern "C" int fchmod(int fd, mode_t mode) {
    if (g_fchmodFailsWith) {
        errno = g_fchmodFailsWith;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fchmod, fd, mode));
}

namespace {

using Calls = std::vector<std::string>;
using testing_support::Harness;
using testing_support::ScopedEnv;
using testing_support::TempDir;

TEST(Startup, HaltsBeforeAnythingWhenAnotherInstanceRuns) {
    Harness h;
    h.instanceFree = false;
    EXPECT_FALSE(h.app->FormCreate());
    EXPECT_TRUE(h.audio.calls.empty());
    EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST(Startup, LibraryFailuresShowTheirMessageAndHalt) {
    struct Case {
        uint32_t version;
        int init;
        const char* message;
    };
    const Case cases[] = {{0x02030000, 1, "Не корректная версия BASS.DLL"},
                          {0x02050011, 1, "Не корректная версия BASS.DLL"},
                          {0x02040011, 0, "Ошибка инициализация аудио"}};
    for (const Case& c : cases) {
        Harness h;
        h.audio.version = c.version;
        h.audio.initResult = c.init;
        h.writeSettings("1\r\n");
        EXPECT_FALSE(h.app->FormCreate());
        ASSERT_EQ(h.dialogs.shown.size(), 1u);
        EXPECT_EQ(h.dialogs.shown[0].text, c.message);
        EXPECT_EQ(h.dialogs.shown[0].kind, form::MessageKind::StartupError);
        EXPECT_TRUE(h.audio.opened.empty()) << "settings never read";
        EXPECT_FALSE(h.f().chk1.checked());
    }
}

TEST(Startup, SlidersGetTheirRangesBeforeTheLoad) {
    Harness h;
    h.writeSettings("0\r\n20\r\n");
    ASSERT_TRUE(h.app->FormCreate());
    EXPECT_EQ(h.f().TrackBar1.position(), 20);
    EXPECT_EQ(h.f().TrackBar1.max(), 20);
    EXPECT_EQ(h.f().strckbr11.max(), 100);
}

TEST(Startup, BringUpRunsEverySwitchInItsOrder) {
    Harness h;
    h.writeSettings(testing_support::settingsText(
        {1, 5, 1, 1, 5, 1, 1, 5, 1, 1, 5, 0, 1, 5, 0, 1, 5, 0, 0, 1, 0, 50, 1}));
    ASSERT_TRUE(h.app->FormCreate());
    // Loaded switches start during the load (brook, birds); the bring-up then restarts them.
    EXPECT_EQ(h.audio.opened, (Calls{"ruchey3", "pticv1", "ruchey3", "pticv1"}));
    EXPECT_TRUE(h.f().tmr5.enabled());
    EXPECT_TRUE(h.f().Timer1.enabled());
    EXPECT_TRUE(h.f().tmr2.enabled());
    EXPECT_TRUE(h.f().tmr3.enabled());
    // The waits of the bring-up come from the loaded class (index 0: 2..6 s).
    EXPECT_LE(h.app->insects().waitMs(), 6000);
    EXPECT_EQ(h.volume.words.back(), 0x7EF47EF4u);
}

TEST(Startup, DrawsComeInTheLoadThenBringUpOrder) {
    // Line 10 switches the insects on while their class list still shows its initial item (2:
    // 20..69 s), line 13 the extra birds likewise, line 16 the rain with the initial frequency and
    // duration items, and line 20 (set duration) runs the rain switch once more, now with line 19's
    // frequency. The bring-up then draws from the loaded items: the insects' wait, the extra
    // birds' wait, the rain's due count and its duration.
    Harness h;
    h.writeSettings(testing_support::settingsText(
        {0, 5, 1, 0, 5, 1, 0, 5, 1, 1, 5, 0, 1, 5, 3, 1, 5, 0, 2, 0, 1, 50, 1}));
    ASSERT_TRUE(h.app->FormCreate());
    engine::Random r;
    for (auto [lo, hi] : {std::pair{20, 70}, {20, 70}, {6, 18}, {3, 6}, {36, 54}, {3, 6}})
        r.randomRange(lo, hi);  // the load's draws
    EXPECT_EQ(h.app->insects().waitMs(), r.randomRange(2, 7) * 1000);
    EXPECT_EQ(h.app->extraBirds().waitMs(), r.randomRange(70, 140) * 1000);
    EXPECT_EQ(h.app->rain().rainDueTicks(), r.randomRange(36, 54));
    EXPECT_EQ(h.app->rain().rainDurationMs(), r.randomRange(6, 9) * 100000);
    EXPECT_EQ(h.e().rng().randSeed(), r.randSeed()) << "no other draw";
}

TEST(Startup, SongbirdsMaySingWhileTheFirstStartMessageWaits) {
    Harness h;
    h.dialogs.whileShown = [&] { h.clock.advance(3000); };
    ASSERT_TRUE(h.app->FormCreate());
    // The songbird tick ran during the message (its switch is off but its timer runs from the
    // window's creation); the bring-up then silences it.
    EXPECT_FALSE(h.audio.opened.empty());
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::songChannelA)));
    EXPECT_FALSE(h.f().tmr5.enabled());
}

TEST(Startup, SameSettingsGiveTheSameDrawsInTheSameOrder) {
    const std::string settings = testing_support::settingsText(
        {0, 5, 1, 0, 5, 1, 1, 5, 0, 1, 5, 0, 1, 5, 0, 1, 5, 1, 0, 0, 0, 50, 1});
    std::vector<Calls> runs;
    for (int i = 0; i < 2; ++i) {
        Harness h;
        h.audio.defaultLengthMs = 1500;
        h.writeSettings(settings);
        ASSERT_TRUE(h.app->FormCreate());
        h.clock.advance(3 * 3600 * 1000);
        runs.push_back(h.audio.opened);
        EXPECT_GT(h.audio.opened.size(), 1000u);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

TEST(Close, SavesFirstThenFreesEverySlotInOrder) {
    Harness h;
    h.writeSettings("");
    ASSERT_TRUE(h.app->FormCreate());
    h.f().chk1.setChecked(true);
    h.f().chk2.setChecked(true);
    h.f().rb6.setChecked(true);
    h.f().chk5.setChecked(true);
    h.clock.advance(1000);  // the duet sings: voice A in stream 3, voice B in stream 4
    ASSERT_EQ(h.e().channel(engine::Slot::songChannelB), 4u);
    h.audio.clearCalls();
    std::vector<std::string> savedWhenCalled;  // the file's contents at each library call
    h.audio.onCall = [&](const std::string&) { savedWhenCalled.push_back(h.readSettings()); };
    h.app->FormCloseQuery();
    ASSERT_FALSE(savedWhenCalled.empty());
    EXPECT_EQ(savedWhenCalled.front().substr(0, 9), "1\r\n5\r\n1\r\n")
        << "saved before the library is stopped";
    EXPECT_EQ(h.audio.calls, (Calls{"stopall", "free 1", "free 2", "free 4", "free 3", "free 0",
                                    "free 0", "free 0", "free 0", "freeall"}));
    EXPECT_EQ(h.readSettings().substr(0, 9), "1\r\n5\r\n1\r\n");
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
    const TempDir dir("lock");
    ASSERT_FALSE(dir.path().empty());
    const ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    {
        SingleInstance first("999");
        EXPECT_EQ(first.lockPath(), dir.file("999.lock"));
        ASSERT_TRUE(first.acquire());
        SingleInstance second("999");
        EXPECT_FALSE(second.acquire());
    }
    SingleInstance third("999");
    EXPECT_TRUE(third.acquire());
    struct stat st {};
    ASSERT_EQ(stat(third.lockPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0022, 0u) << "nobody else may write the lock file";
    EXPECT_NE(st.st_mode & S_ISVTX, 0u) << "sticky, so the runtime folder's clean-up keeps it";
}

// A lock file that cannot be made sticky still locks: the start goes on and says why the
// runtime folder's clean-up might take the file.
TEST(SingleInstance, LockThatCannotBeMadeStickyStillLocksAndSaysSo) {
    const TempDir dir("lock");
    ASSERT_FALSE(dir.path().empty());
    const ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    {
        SingleInstance first("999");
        g_fchmodFailsWith = EPERM;
        testing::internal::CaptureStderr();
        const bool held = first.acquire();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(held);
        EXPECT_NE(said.find(first.lockPath()), std::string::npos) << said;
        EXPECT_NE(said.find("sticky"), std::string::npos) << said;
        SingleInstance second("999");
        EXPECT_FALSE(second.acquire()) << "two instances hold the lock";
        g_fchmodFailsWith = 0;
    }
}

// Without a runtime folder, or with one where no lock can be made, a start still never lets
// two instances run at once; where a lock can be made the first start gets it.
TEST(SingleInstance, WithoutAUsableRuntimeFolderOnlyOneRuns) {
    const ScopedEnv runtime("XDG_RUNTIME_DIR");
    const TempDir dir("lock");
    ASSERT_FALSE(dir.path().empty());
    const std::string notAFolder = dir.file("file");
    std::ofstream(notAFolder) << "x";
    struct Case {
        const char* what;
        const char* runtime;  // nullptr: unset
        bool firstRuns;
    };
    const Case cases[] = {{"unset", nullptr, true},
                          {"empty", "", true},
                          {"not a folder", notAFolder.c_str(), false},
                          {"missing", "/nonexistent/ombrelin-runtime", false}};
    const ScopedEnv cache("XDG_CACHE_HOME", dir.file("cache").c_str());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        runtime.set(c.runtime);
        SingleInstance first("999");
        SingleInstance second("999");
        const bool firstHolds = first.acquire();
        if (c.firstRuns) {
            EXPECT_TRUE(firstHolds);
            struct stat st {};
            ASSERT_EQ(stat(first.lockPath().c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0022, 0u) << "nobody else may write the lock file";
        }
        EXPECT_FALSE(firstHolds && second.acquire()) << "two instances hold the lock";
    }
}

// Without a runtime folder the lock's name in /tmp is known to every user. Whatever someone
// else put there (a symlink to a file of the user's, a file or a folder of theirs), the start
// neither writes through it nor stops because of it: it locks in the user's own cache folder,
// and a second start is still refused.
TEST(SingleInstance, WhatAnotherUserPlantsInTmpIsNotUsed) {
    const ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    const TempDir dir("lock");
    ASSERT_FALSE(dir.path().empty());
    const ScopedEnv cache("XDG_CACHE_HOME", dir.file("cache").c_str());
    const std::string victim = dir.file("victim");
    const bool root = geteuid() == 0;  // only root can make a file of another user
    struct Case {
        const char* what;
        void (*plant)(const std::string& at, const std::string& victim);
        bool inTmp;  // the /tmp lock itself is used
    };
    const Case cases[] = {
        {"nothing", [](const std::string&, const std::string&) {}, true},
        {"symlink",
         [](const std::string& at, const std::string& v) { symlink(v.c_str(), at.c_str()); },
         false},
        {"folder", [](const std::string& at, const std::string&) { mkdir(at.c_str(), 0755); },
         false},
        {"file of another user",
         [](const std::string& at, const std::string&) {
             std::ofstream(at) << "";
             chmod(at.c_str(), 0666);
             [[maybe_unused]] int r = chown(at.c_str(), 65534, 65534);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!root && std::string(c.what) == "file of another user") continue;
        const std::string name = "ombrelin-test-" + std::to_string(getpid());
        SingleInstance first(name);
        std::filesystem::remove_all(first.lockPath());
        std::filesystem::remove_all(dir.file("cache"));
        std::ofstream(victim) << "keep";
        c.plant(first.lockPath(), victim);
        ASSERT_TRUE(first.acquire()) << "a planted lock stops the start";
        SingleInstance second(name);
        EXPECT_FALSE(second.acquire()) << "two instances hold the lock";
        struct stat st {};
        const std::string used = c.inTmp ? first.lockPath() : first.privateLockPath();
        ASSERT_EQ(lstat(used.c_str(), &st), 0) << used;
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(st.st_mode & 0077, 0u) << "the lock is the user's alone";
        std::ifstream in(victim);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
        std::filesystem::remove_all(first.lockPath());
    }
}

}  // namespace
