#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

SingleInstance::~SingleInstance() {
    if (m_fd >= 0) close(m_fd);
}

std::string SingleInstance::lockPath() const {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/" + m_name + ".lock";
    return "/tmp/" + m_name + "-" + std::to_string(getuid()) + ".lock";
}

bool SingleInstance::acquire() {
    if (m_fd >= 0) return true;
    const int fd = open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
