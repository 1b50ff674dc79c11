// The privileges helpers as the kernel sees them, read from /proc/self/status.
// caps-drop.sh runs this as an unprivileged user from a copy given
// cap_net_raw+ep, or, with the argument "setuid", from a set-user-ID and
// set-group-ID root copy. Exit status 0 when every step checks out.

#include "icmp/Privileges.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <linux/capability.h>
#include <unistd.h>

namespace {

struct Sets {
    std::uint64_t inheritable = 0, permitted = 0, effective = 0;
};

Sets readSets() {
    Sets sets;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        const auto value = [&line] { return std::stoull(line.substr(line.find(':') + 1), nullptr, 16); };
        if (line.starts_with("CapInh:"))
            sets.inheritable = value();
        else if (line.starts_with("CapPrm:"))
            sets.permitted = value();
        else if (line.starts_with("CapEff:"))
            sets.effective = value();
    }
    return sets;
}

constexpr std::uint64_t kNetRaw = std::uint64_t{1} << CAP_NET_RAW;
int failures = 0;

void expect(bool ok, const char* what) {
    const Sets s = readSets();
    std::printf("%s %s (CapEff %016llx CapPrm %016llx CapInh %016llx)\n", ok ? "ok  " : "FAIL", what,
                static_cast<unsigned long long>(s.effective), static_cast<unsigned long long>(s.permitted),
                static_cast<unsigned long long>(s.inheritable));
    failures += !ok;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool setuidRoot = argc > 1 && std::strcmp(argv[1], "setuid") == 0;
    uid_t ruid, euid, suid;
    gid_t rgid, egid, sgid;
    getresuid(&ruid, &euid, &suid);
    if (ruid == 0 || (setuidRoot && euid != 0) || !(readSets().permitted & kNetRaw)) {
        std::fprintf(stderr, "caps-sequence: must start unprivileged, with CAP_NET_RAW from the file\n");
        return 3;
    }

    expect(privileges::lowerEffective(), "lowerEffective succeeds");
    expect(readSets().effective == 0 && (readSets().permitted & kNetRaw), "nothing effective, NET_RAW permitted");
    expect(privileges::raiseNetRaw(), "raiseNetRaw succeeds");
    expect(readSets().effective == kNetRaw, "only NET_RAW effective");
    expect(privileges::lowerEffective(), "lowerEffective succeeds again");
    expect(readSets().effective == 0, "nothing effective");
    expect(privileges::dropAll(), "dropAll succeeds");
    const Sets dropped = readSets();
    expect(!dropped.effective && !dropped.permitted && !dropped.inheritable, "all three sets empty");
    expect(!privileges::raiseNetRaw(), "NET_RAW cannot be raised again");

    getresuid(&ruid, &euid, &suid);
    getresgid(&rgid, &egid, &sgid);
    expect(euid == ruid && suid == ruid && egid == rgid && sgid == rgid, "effective and saved IDs are the real ones");
    expect(setresuid(-1, 0, -1) != 0 && setresgid(-1, 0, -1) != 0, "root cannot be regained");
    return failures ? 1 : 0;
}
