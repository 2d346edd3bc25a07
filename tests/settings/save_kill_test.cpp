// A save killed at any moment: a child process saves two settings contents in turn as fast as it
// can and is killed with SIGKILL at random moments. Whatever the moment, the file must hold one of
// the two contents whole, and a kill may strand at most the one temporary file it interrupted.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"

namespace {

std::string content(int first, int step) {
    std::string text;
    for (int line = 0; line < settings::kLineCount; ++line)
        text += std::to_string(first + line * step) + "\r\n";
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> strayFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != ".." && name != settings::kFileName) names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

using testing_support::TempDir;

TEST(SaveKilled, FileIsAlwaysOneWholeContentAndAKillStrandsAtMostOneTempFile) {
    TempDir dir("save-kill");
    ASSERT_FALSE(dir.path().empty());
    const std::string file = dir.path() + "/" + settings::kFileName;
    const std::string a = content(0, 1);    // "0\r\n1\r\n..."
    const std::string b = content(100, 7);  // longer lines, so a torn write shows in the size
    std::string reason;
    ASSERT_TRUE(settings::saveAtomically(file, a, reason)) << reason;

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 4000);
    int strandedKills = 0;
    constexpr int kKills = 150;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string childReason;
            for (;;) {
                if (!settings::saveAtomically(file, b, childReason)) _exit(2);
                if (!settings::saveAtomically(file, a, childReason)) _exit(2);
            }
        }
        usleep(static_cast<useconds_t>(delayUs(random)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child failed on its own, status " << status;

        const std::string now = readFile(file);
        ASSERT_TRUE(now == a || now == b)
            << "kill " << kill << " left " << now.size() << " bytes:\n"
            << now;
        // Only the save the kill cut short may leave its temporary file; the next save clears
        // it, so they never pile up.
        const std::vector<std::string> stray = strayFiles(dir.path());
        ASSERT_LE(stray.size(), 1u) << "kill " << kill << " left " << stray.size() << " files";
        for (const std::string& name : stray) {
            EXPECT_EQ(name.rfind(std::string(".") + settings::kFileName + ".", 0), 0u) << name;
            ++strandedKills;
        }
    }
    // Not a check: how often a kill strands a temporary file is worth seeing in the log.
    std::cout << strandedKills << " of " << kKills << " kills left a temporary file\n";
    ASSERT_TRUE(settings::saveAtomically(file, a, reason)) << reason;
    EXPECT_TRUE(strayFiles(dir.path()).empty()) << "a save clears what killed saves left";
}

}  // namespace
