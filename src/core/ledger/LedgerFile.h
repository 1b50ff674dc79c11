#pragma once

#include "LedgerRow.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The outage ledger on disk, "Outages.csv": RFC 4180 CSV in UTF-8 without a
// byte order mark, CR LF line ends and a header row. Rows are only ever
// appended, each with a single write, so a reader sees whole rows or none.
// The outage in progress lives in a sidecar "Outages.csv.open" beside it,
// replaced atomically on every change, so a killed process loses nothing:
// the next start takes it back and completes it as a row.
//
// Columns: kind,start,end,duration_s,host,address,echoes_lost,first_status,
// cause,causes_seen,gateway,interface,note. Times are ISO 8601 local times
// with their UTC offset and milliseconds; an unknown end is empty; the
// duration has three decimals; the causes seen are joined with "; ".
class LedgerFile {
public:
    // Why the ledger or its sidecar could not be written.
    enum class Failure {
        None,
        NoSpace,        // the disk (or the quota, or the file size limit) is full
        NoPermission,   // no right to write the file or in its folder, or a read-only mount
        NotRegularFile, // a folder, a FIFO, a device
        MissingFolder,
        Other,
    };

    struct Outcome {
        Failure failure = Failure::None;
        int error = 0; // errno, where there was one
        explicit operator bool() const { return failure == Failure::None; }
    };

    // "Outages.csv" in the folder of the connection log `logFilePath`.
    static QString ledgerPath(const QString& logFilePath);
    // The message for a failure, naming the cause and the ledger's path.
    static QString describe(const QString& path, const Outcome& outcome);

    static QString header();
    // One row as CSV, without its line end. Fields holding a comma, a quote,
    // CR or LF are quoted, quotes doubled.
    static QString formatLine(const LedgerRow& row);
    // One row back from its CSV (which may span lines inside quotes); none
    // for the header or a malformed line: a wrong field count, an unknown
    // kind, a start that is no time, a duration or echo count that is no
    // number.
    static std::optional<LedgerRow> parseLine(const QString& line);
    // Every well-formed row of the file, in file order. The header, malformed
    // lines and a last line without its line end (being written, or torn by
    // a crash) are left out; a missing or unreadable file gives none.
    static QList<LedgerRow> read(const QString& path);

    explicit LedgerFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }
    QString openPath() const { return m_path + QStringLiteral(".open"); }

    // Cuts a torn last line (one without its line end, as a crash in the
    // middle of a write leaves it) back to the end of the last whole row.
    // Done once, before the first append; a missing file needs nothing.
    Outcome repair();
    // Appends the row with one write, creating the file with its header
    // when it is missing or empty. The row is written whole or not at all:
    // after a short write the file is cut back to its size before.
    Outcome append(const LedgerRow& row);
    // Makes the file with its header row when it is missing or empty, so
    // that its creation tells when watching began.
    Outcome create();

    // Stores the outage in progress in the sidecar, replacing the one before.
    Outcome writeOpen(const LedgerRow& row);
    // Removes the sidecar once the outage is a row; no sidecar is fine.
    Outcome clearOpen();
    // The outage that was in progress when the program last stopped, if any,
    // and removes the sidecar, so it is taken only once: the caller appends
    // it at once as a row. A sidecar that cannot be read as a row is removed
    // too. `outcome` tells when the sidecar could not be removed.
    std::optional<LedgerRow> takeOpen(Outcome* outcome = nullptr);

private:
    // Appends `bytes` (the header first into an empty file) with one write.
    Outcome write(QByteArray bytes);

    QString m_path;
    bool m_repaired = false;
};
