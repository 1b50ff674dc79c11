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

// Sets real, effective and saved IDs (user or group) to the real one. An
// unprivileged process may do this too, since it only picks among its own
// IDs; the result is read back, so a saved ID that could bring root back is
// caught.
template <typename Id> bool toReal(int (*get)(Id*, Id*, Id*), int (*set)(Id, Id, Id)) {
    Id real, effective, saved;
    if (get(&real, &effective, &saved) != 0)
        return false;
    if ((effective != real || saved != real) && set(real, real, real) != 0)
        return false;
    return get(&real, &effective, &saved) == 0 && effective == real && saved == real;
}

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
    // Group before user, the usual order (a group change may need root).
    if (!toReal<gid_t>(getresgid, setresgid) || !toReal<uid_t>(getresuid, setresuid))
        return false;
    CapSets caps;
    if (!write(caps) || !read(caps))
        return false;
    for (const auto& word : caps.data) {
        if (word.effective || word.permitted || word.inheritable)
            return false;
    }
    return true;
}

} // namespace privileges
