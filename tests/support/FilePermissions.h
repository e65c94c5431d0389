#pragma once
// File permissions that bind a test also when it runs as root, as CI does:
// root passes every permission check through the capabilities that
// override them, so a test drops those while it needs the checks.

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <initializer_list>

namespace testing_support {

/// Takes the overriding capabilities out of the calling thread's effective
/// set for the scope and gives them back at its end (the permitted set keeps
/// them). Capabilities belong to a thread: threads started in the scope
/// inherit the lowered set, threads started before keep theirs.
inline constexpr std::initializer_list<int> kOverridingCapabilities = {
    CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

class FilePermissionsBind {
public:
    FilePermissionsBind()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (int capability : kOverridingCapabilities)
            lowered[capability / 32].effective &= ~(1u << (capability % 32));
        m_lowered = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~FilePermissionsBind()
    {
        if (m_lowered)
            syscall(SYS_capset, &m_header, m_saved);
    }
    FilePermissionsBind(const FilePermissionsBind &) = delete;
    FilePermissionsBind &operator=(const FilePermissionsBind &) = delete;

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};

/// For a child process about to start a program: takes the overriding
/// capabilities out of its bounding set, so that the program (root or not)
/// never has them.
inline void dropOverridingCapabilitiesForGood()
{
    for (int capability : kOverridingCapabilities)
        prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
}

} // namespace testing_support
