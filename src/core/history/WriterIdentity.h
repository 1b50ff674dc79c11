#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Which process on which computer, since which boot, writes a history, so
// that another one can tell a writer that still runs from one that ended
// without closing its part of the journal.
struct WriterIdentity {
    QString machine; // /etc/machine-id, else the host name
    QString boot;    // the kernel's boot id
    std::int64_t pid = 0;
    std::int64_t started = 0; // the process's start, in clock ticks since boot

    static WriterIdentity self();
    // Whether the process it names still runs; nothing when that cannot be
    // told from here (another computer).
    std::optional<bool> running() const;
};
