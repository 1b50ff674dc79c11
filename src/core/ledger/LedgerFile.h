#pragma once

#include "LedgerRow.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

// The outage ledger on disk, "Outages.csv": CSV in UTF-8 without a byte
// order mark (see LedgerCsv.h), CR LF line ends and a header row, one row a
// line. Rows are only ever appended, each with a single write, so a reader
// sees whole rows or none. Several hosts whose logs lie in one folder share
// the file; what belongs to one host alone (its outage in progress, when it
// was last watched) lies in the state folder beside it (see HostState.h).
//
// Columns: kind,start,end,duration_s,host,address,echoes_lost,first_status,
// cause,causes_seen,gateway,interface,note. Times are ISO 8601 local times
// with their UTC offset and milliseconds; an unknown end is empty; the
// duration has three decimals; the causes seen are joined with "; ".
class LedgerFile {
public:
    // Why the ledger or a file beside it could not be written.
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
    // The outcome of a failed call that set errno.
    static Outcome failed(int error);

    // What a reading found.
    struct ReadStats {
        bool found = false; // the file exists and could be read
        qint64 rows = 0;    // well-formed rows
        qint64 malformed = 0;
        qint64 firstMalformedLine = 0;
        // "N malformed rows of PATH were skipped (the first on line L)", or
        // empty when there were none.
        QString note(const QString& path) const;
    };

    // "Outages.csv" in the folder of the connection log `logFilePath`.
    static QString ledgerPath(const QString& logFilePath);
    // The message for a failure, naming the cause and the file, "the
    // outage ledger" unless `what` names another.
    static QString describe(const QString& path, const Outcome& outcome, const QString& what = QString());

    static QString header();
    static QString formatLine(const LedgerRow& row);
    // One row back from its CSV; none for the header or a malformed line.
    static std::optional<LedgerRow> parseLine(const QString& line);

    // Each record of the file but the header, in file order, read in
    // pieces so that memory stays bounded whatever the file's size; `take`
    // tells whether it was a well-formed row (see ledgercsv::RecordReader).
    // A FIFO or a device is never opened.
    static ReadStats forEachRecord(const QString& path,
                                   const std::function<bool(QByteArrayView record, qint64 line)>& take);
    // Each well-formed row, in file order.
    static ReadStats forEachRow(const QString& path, const std::function<void(LedgerRow&& row)>& take);
    // Every well-formed row of the file, in file order; for small files.
    static QList<LedgerRow> read(const QString& path, ReadStats* stats = nullptr);

    explicit LedgerFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // Cuts a torn last line (one without its line end, as a crash in the
    // middle of a write leaves it) back to the end of the line before it,
    // reading only the file's end. A last line longer than any row is no
    // torn row: it is ended with a line end instead, so nothing is lost.
    // Done once, before the first append; a missing file needs nothing.
    Outcome repair();
    // Appends the row with one write, creating the file with its header
    // when it is missing or empty. The row is written whole or not at all:
    // after a short write the file is cut back to its size before.
    Outcome append(const LedgerRow& row);
    // Makes the file with its header row when it is missing or empty.
    Outcome create();

private:
    // Appends `bytes` (the header first into an empty file) with one write.
    Outcome write(QByteArray bytes);

    QString m_path;
    bool m_repaired = false;
};
