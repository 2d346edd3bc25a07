#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SingleInstance::~SingleInstance() {
    if (m_fd >= 0) close(m_fd);
}

std::string SingleInstance::lockPath() const {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/" + m_name + ".lock";
    return "/tmp/" + m_name + "-" + std::to_string(getuid()) + ".lock";
}

std::string SingleInstance::privateLockPath() const {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return std::string(cache) + "/ombrelin/" + m_name + ".lock";
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return std::string(home) + "/.cache/ombrelin/" + m_name + ".lock";
    return {};
}

int SingleInstance::lockAt(const std::string& path) {
    // No symlink is followed and the file must be a plain file of this user: anything else was
    // put there by someone else.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    // The sticky bit keeps the runtime folder's periodic clean-up from removing the file while
    // it is held. A file system that refuses it still holds a working lock: the start goes on,
    // and the message tells why a second copy might start after the clean-up.
    if (fchmod(fd, S_ISVTX | S_IRUSR | S_IWUSR) != 0) {
        std::fprintf(stderr,
                     "ombrelin: the lock file %s cannot be made sticky (%s); the runtime "
                     "folder's clean-up may remove it while the program runs\n",
                     path.c_str(), std::strerror(errno));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? 0 : -1;
    }
    m_fd = fd;
    return 1;
}

bool SingleInstance::acquire() {
    if (m_fd >= 0) return true;
    const int result = lockAt(lockPath());
    if (result >= 0) return result == 1;
    const std::string fallback = privateLockPath();
    if (fallback.empty()) return false;
    // Made for the user alone; an existing folder is left as the user has it.
    const std::string folder = fallback.substr(0, fallback.rfind('/'));
    mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    return lockAt(fallback) == 1;
}
