// The single-instance marker: an exclusive lock on a file named "Tavlin" in
// the user's runtime folder. The kernel releases it when the process ends in
// any way, a crash included, so no stale marker can block the next start.
#pragma once

#include "UniqueFd.h"

#include <string>

class InstanceLock {
public:
    // The per-user folder for the lock and the raise socket: $XDG_RUNTIME_DIR
    // when it is set and usable, else /tmp/tavlin-<uid> made with mode 0700.
    static std::string RuntimeFolder();

    // Takes the lock named `name` in RuntimeFolder(). isHeldElsewhere() tells
    // whether another process holds it.
    explicit InstanceLock(const std::string& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool acquired() const { return m_acquired; }
    bool isHeldElsewhere() const { return m_heldElsewhere; }

    // Keeps the descriptor (and so the lock) for the life of the process.
    void keepForLife();

private:
    UniqueFd m_fd;
    bool m_acquired = false;
    bool m_heldElsewhere = false;
};
