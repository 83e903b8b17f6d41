// Lets permission tests run as root too.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace picbatch {

// Root reads and writes every file whatever its mode; this drops that power from the calling
// thread for the test's duration, so permission cases can run in containers as well. Active() is
// false when the capabilities cannot be changed; unprivileged users need none of this.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        if (geteuid() != 0) {
            m_active = true;
            return;
        }
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        const unsigned int overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        reduced[0].effective &= ~overrides;
        m_changed = syscall(SYS_capset, &m_header, reduced) == 0;
        m_active = m_changed;
    }
    ~WithoutPermissionOverride()
    {
        if (m_changed)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

    bool Active() const { return m_active; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_changed = false;
    bool m_active = false;
};

}  // namespace picbatch
