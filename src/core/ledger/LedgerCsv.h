#pragma once

#include "LedgerRow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// The ledger's rows as RFC 4180 CSV: the header, one row per line, and a
// reader that takes a file in pieces, with bounded memory, and never lets
// one bad line hide the lines after it.
namespace ledgercsv {

// No row this program writes comes near this size: a longer line is not a
// row of ours.
constexpr qsizetype kLongestRow = 16 * 1024;

QString header();

// A moment as the ledger writes it: ISO 8601 local time with milliseconds
// and its UTC offset ("+00:00", never "Z"); empty for an invalid one.
QString formatTime(const QDateTime& time);

// One row as CSV, without its line end. Fields holding a comma or a quote
// are quoted, quotes doubled; line ends inside a field are written as
// blanks, so that every row is one line of the file.
QString formatLine(const LedgerRow& row);

// One row from the bytes of one record (its fields; quoted fields may hold
// line ends). None for the header or a malformed record: a wrong field
// count, a quote in the wrong place, an unknown kind, a start that is no
// time, a duration or echo count that is no number or out of all measure.
std::optional<LedgerRow> parseRecord(QByteArrayView record);

// The host (as typed) and address fields of a record, without parsing the
// rest; none when the record is no row. Lets a reader pass over other
// hosts' rows cheaply.
struct HostFields {
    QString host;
    QString address;
};
std::optional<HostFields> hostOf(QByteArrayView record);

// Splits the bytes of a ledger into records. A record is one line, or,
// where a quoted field holds line ends (files of earlier versions, or an
// editor's), the lines up to the one that closes the quote. A quote that is
// never closed spoils only its own line: when no well-formed record begins
// there within kLongestRow bytes, that line is counted as malformed and
// reading goes on at the next line. A last line without its line end is
// unfinished (being written, or torn by a crash) and is left out.
class RecordReader {
public:
    // Gets each record but the header, with the number of its first line
    // (1 is the header's); returns whether it was a well-formed row, so
    // that a record that is not is counted and read again from its second
    // line.
    using Take = std::function<bool(QByteArrayView record, qint64 line)>;

    explicit RecordReader(Take take) : m_take(std::move(take)) {}

    void feed(QByteArrayView bytes);
    // The end of the file.
    void finish();

    qint64 malformed() const { return m_malformed; }
    // The line number of the first malformed line, 0 when there was none.
    qint64 firstMalformedLine() const { return m_firstMalformed; }
    // Whether the file ended in the middle of a line.
    bool unfinished() const { return m_unfinished; }

private:
    struct Line {
        QByteArray bytes; // without its line end
        qint64 number;
    };

    void endLine();
    void process(bool atEnd);
    void skipFirst();

    Take m_take;
    std::deque<Line> m_lines;
    QByteArray m_current;
    bool m_overlong = false; // the current line is past kLongestRow: it is skipped
    qint64 m_lineNumber = 1;
    qint64 m_malformed = 0;
    qint64 m_firstMalformed = 0;
    bool m_unfinished = false;
};

} // namespace ledgercsv
