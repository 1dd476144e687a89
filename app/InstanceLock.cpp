#include "InstanceLock.h"

#include "UserPlaces.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string InstanceLock::RuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        struct stat st {};
        if (runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::geteuid() && ::access(runtime, W_OK) == 0) {
            return runtime;
        }
    }
    // A folder of that name made by somebody else must not be trusted: it could
    // hold the lock against us. The home folder serves then.
    const std::string folder = "/tmp/tavlin-" + std::to_string(::geteuid());
    if (UserPlaces::TakePrivateFolder(folder)) {
        return folder;
    }
    const std::string fallback = UserPlaces::Home() + "/.tavlin-runtime";
    UserPlaces::TakePrivateFolder(fallback);
    return fallback;
}

InstanceLock::InstanceLock(const std::string& name) {
    const std::string path = RuntimeFolder() + "/" + name;
    m_fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!m_fd.valid()) {
        return;
    }
    if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0) {
        m_acquired = true;
    } else if (errno == EWOULDBLOCK) {
        m_heldElsewhere = true;
    }
}

InstanceLock::~InstanceLock() = default;

void InstanceLock::keepForLife() {
    m_fd.release(); // never closed: the kernel closes it, and releases the lock, at exit
}
