#include "Privileges.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace privileges {

namespace {

struct CapSets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
};

bool read(CapSets& caps) {
    return syscall(SYS_capget, &caps.header, caps.data) == 0;
}

bool write(CapSets& caps) {
    return syscall(SYS_capset, &caps.header, caps.data) == 0;
}

constexpr unsigned kNetRawBit = 1u << CAP_NET_RAW; // CAP_NET_RAW (13) lives in the first word

} // namespace

bool raiseNetRaw() {
    CapSets caps;
    if (!read(caps) || !(caps.data[0].permitted & kNetRawBit))
        return false;
    caps.data[0].effective |= kNetRawBit;
    return write(caps);
}

bool lowerEffective() {
    CapSets caps;
    if (!read(caps))
        return false;
    for (auto& word : caps.data)
        word.effective = 0;
    return write(caps);
}

bool dropAll() {
    bool ok = true;
    if (getegid() != getgid())
        ok = setresgid(getgid(), getgid(), getgid()) == 0 && ok;
    if (geteuid() != getuid())
        ok = setresuid(getuid(), getuid(), getuid()) == 0 && ok;
    CapSets caps;
    ok = write(caps) && ok;
    return ok;
}

} // namespace privileges
