// One running instance per user: an flock on a lock file in the user's runtime folder. The
// kernel drops the lock when the process ends, also on a crash, so a stale file never blocks.
// Without a runtime folder the lock lives in /tmp, where another user can plant a file or a
// symlink under the same name; such a lock is never used: the start takes a lock in a folder of
// the user's own instead, so a planted file neither stops the program nor gets written through.
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
    // Where a lock goes when lockPath() cannot be used: $XDG_CACHE_HOME/ombrelin/<name>.lock
    // (~/.cache/ombrelin/ by default); empty without a home folder.
    std::string privateLockPath() const;

private:
    // 1: locked, 0: held by another process, -1: the file cannot be used as our lock.
    int lockAt(const std::string& path);

    std::string m_name;
    int m_fd = -1;
};
