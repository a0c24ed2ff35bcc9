#pragma once

// The per-user lock every running instance holds shared. "Another instance runs" means
// that taking it exclusively failed.
class InstanceLock
{
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Takes the lock (shared) and tells whether another instance held it already.
    bool acquire();

private:
    int m_fd = -1;
};
