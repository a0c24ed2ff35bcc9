#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root passes every file permission check, so a test of an unreadable file or a read-only
// folder takes that right away from itself while it lives (it stays in the permitted set
// and comes back at the end). For anyone else permissions apply anyway.
class FilePermissionsApply
{
public:
    FilePermissionsApply()
    {
        if (::geteuid() != 0) {
            m_apply = true;
            return;
        }
        if (!get(m_saved))
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = set(reduced);
        m_apply = m_dropped;
    }
    ~FilePermissionsApply()
    {
        if (m_dropped)
            set(m_saved);
    }
    FilePermissionsApply(const FilePermissionsApply &) = delete;
    FilePermissionsApply &operator=(const FilePermissionsApply &) = delete;

    // Whether a mode of 000 or a folder without write permission stops this process now.
    bool apply() const { return m_apply; }

private:
    static bool get(__user_cap_data_struct (&data)[2])
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool set(__user_cap_data_struct (&data)[2])
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct m_saved[2] = {};
    bool m_dropped = false;
    bool m_apply = false;
};
