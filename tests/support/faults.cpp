#include "faults.h"

#include <csignal>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

FullDisk::FullDisk(qint64 bytes) {
    // Without this the process would be killed by SIGXFSZ instead of seeing the failed write.
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_previous);
    const rlimit limit{rlim_t(bytes), m_previous.rlim_max};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the file size");
}

FullDisk::~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

namespace {

bool capabilities(__user_cap_data_struct (&data)[2], bool set) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

PermissionBitsHold::PermissionBitsHold() {
    __user_cap_data_struct data[2]{};
    if (!capabilities(data, false))
        qFatal("cannot read the thread's capabilities");
    constexpr __u32 override = 1u << CAP_DAC_OVERRIDE;
    if ((data[0].effective & override) == 0)
        return;
    data[0].effective &= ~override;
    if (!capabilities(data, true))
        qFatal("cannot give up CAP_DAC_OVERRIDE");
    m_dropped = true;
}

PermissionBitsHold::~PermissionBitsHold() {
    if (!m_dropped)
        return;
    __user_cap_data_struct data[2]{};
    capabilities(data, false);
    data[0].effective |= 1u << CAP_DAC_OVERRIDE; // still permitted: only the effective set was lowered
    capabilities(data, true);
}
