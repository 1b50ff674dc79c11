#pragma once

#include "LedgerFile.h"
#include "LedgerRow.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What one host keeps for itself beside the ledger that the hosts of a
// folder share: in the state folder "Outages.state" its outage in progress,
// "KEY.open" (the row as it stands, replaced atomically on every change, so
// a killed process loses nothing), and its watching stamp, "KEY.watched":
// when it was first watched, the last moment it was known to be watched,
// and how watching ended. KEY is the host as typed, spelled for a file
// name. Every file here is read with a bound on its size, and anything that
// is not a regular file is refused, never opened.
//
// Files of earlier versions, one per folder ("Outages.csv.open" and
// "Outages.csv.watched"), are taken over: the outage in progress by its own
// host, the stamp by every host of the folder that has none of its own, until
// ten minutes after the first stamp of this kind.
class HostState {
public:
    using Outcome = LedgerFile::Outcome;

    // How watching the host ended, as far as its stamp tells.
    enum class Watching {
        Watching, // it was being watched: a stamp this old means the program ended without a word
        Stopped,  // Stop
        Closed,   // the program ended
        Switched, // another host was watched instead
    };

    struct Stamp {
        QDateTime since; // when the host was first watched here; may be unknown
        QDateTime last;  // the last moment it was known to be watched
        Watching state = Watching::Watching;
        bool valid() const { return last.isValid(); }
    };

    HostState(const QString& ledgerPath, const QString& host);

    // "Outages.state" beside the ledger.
    static QString folder(const QString& ledgerPath);
    // The host as typed as a file name: letters, digits, "-", "_" and "."
    // as they are, every other byte as %XX, a leading "." too; a very long
    // one cut and told apart by a hash of the whole.
    static QString fileKey(const QString& host);
    // The note of the time not watched that followed a stamp in `state`.
    static QString notWatchedNote(Watching state);

    const QString& host() const { return m_host; }
    QString openPath() const;
    QString stampPath() const;

    Outcome writeOpen(const LedgerRow& row);
    // Removes the outage in progress once it is a row; none is fine.
    Outcome clearOpen();
    // The outage that was in progress when the program last stopped, if
    // any, and removes it, so it is taken only once: the caller appends it
    // at once as a row. One that cannot be read as a row is removed too.
    // `outcome` tells when it could not be removed.
    std::optional<LedgerRow> takeOpen(Outcome* outcome = nullptr);

    // The host's stamp; none (invalid) when the host was never watched here.
    Stamp readStamp() const;
    Outcome writeStamp(const Stamp& stamp);

private:
    Outcome makeFolder() const;

    QString m_ledgerPath;
    QString m_host;
    QString m_folder;
    QString m_key;
};
