// One running instance per user: an flock on a lock file in the user's runtime folder. The
// kernel drops the lock when the process ends, also on a crash, so a stale file never blocks.
#pragma once

#include <string>

class SingleInstance {
public:
    explicit SingleInstance(std::string name) : m_name(std::move(name)) {}
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock (kept until it ends); false when another
    // process holds it or no lock file can be made.
    bool acquire();
    // $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>-<uid>.lock without a runtime folder.
    std::string lockPath() const;

private:
    std::string m_name;
    int m_fd = -1;
};
