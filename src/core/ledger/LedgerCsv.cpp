#include "LedgerCsv.h"

#include <QList>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace ledgercsv {

namespace {

constexpr int kColumns = 13;
// A row whose path was traced has two more: last_hop and last_hop_number.
// Rows without them keep the thirteen, so that what reads those goes on
// reading every other row.
constexpr int kTracedColumns = kColumns + 2;

bool rowSize(qsizetype columns) {
    return columns == kColumns || columns == kTracedColumns;
}
constexpr int kHostColumn = 4;
const QByteArray kKindOutage = "outage";
const QByteArray kKindGap = "gap";
const QString kCausesSeparator = QStringLiteral("; ");
// Longer than any outage or gap can be: a duration past it is no measure.
constexpr double kLongestSeconds = 100.0 * 366 * 24 * 3600;

enum class Quote { FieldStart, Unquoted, Quoted, QuoteInQuoted };

// Where a quote opens or closes a field: a quote opens a quoted field only
// at the start of a field, and within one a doubled quote stands for one. A
// quote inside an unquoted field is taken as it stands. Quotes and commas
// are ASCII and never part of a UTF-8 sequence, so bytes are split before
// they are decoded.
Quote advance(Quote state, char c) {
    switch (state) {
    case Quote::Quoted:
        return c == '"' ? Quote::QuoteInQuoted : Quote::Quoted;
    case Quote::QuoteInQuoted:
        if (c == '"')
            return Quote::Quoted;
        return c == ',' ? Quote::FieldStart : Quote::Unquoted;
    case Quote::FieldStart:
        if (c == '"')
            return Quote::Quoted;
        return c == ',' ? Quote::FieldStart : Quote::Unquoted;
    case Quote::Unquoted:
        return c == ',' ? Quote::FieldStart : Quote::Unquoted;
    }
    return state;
}

struct Fields {
    QList<QByteArray> values;
    bool wellFormed = true; // false where a closing quote is followed by more than a comma, or a quote stays open
};

Fields split(QByteArrayView record) {
    Fields result;
    QByteArray field;
    Quote state = Quote::FieldStart;
    for (const char c : record) {
        const Quote next = advance(state, c);
        if (state == Quote::QuoteInQuoted && c != '"' && c != ',')
            result.wellFormed = false;
        if (c == ',' && next == Quote::FieldStart) {
            result.values.append(field);
            field.clear();
        } else if (!(c == '"' && (state == Quote::FieldStart || state == Quote::Quoted))) {
            field += c; // not a quote that opens, closes or doubles
        }
        state = next;
    }
    if (state == Quote::Quoted)
        result.wellFormed = false;
    result.values.append(field);
    return result;
}

bool isHeader(const Fields& fields) {
    return !fields.values.isEmpty() && fields.values.constFirst() == "kind";
}

QString formatDuration(qint64 ms) {
    const qint64 magnitude = ms < 0 ? -ms : ms;
    return (ms < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 1000) + u'.' +
           QString::number(magnitude % 1000).rightJustified(3, u'0');
}

bool parseDuration(const QString& text, qint64* ms) {
    bool ok = false;
    const double seconds = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > kLongestSeconds)
        return false;
    *ms = static_cast<qint64>(std::llround(seconds * 1000));
    return true;
}

QString quoted(QString field) {
    for (const QChar c : {u'\r', u'\n'})
        field.replace(c, u' ');
    if (field.contains(u',') || field.contains(u'"'))
        return u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return field;
}

} // namespace

QString formatTime(const QDateTime& time) {
    if (!time.isValid())
        return {};
    QString text = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    // An offset of zero is written like any other, not as "Z".
    if (text.endsWith(u'Z')) {
        text.chop(1);
        text += QStringLiteral("+00:00");
    }
    return text;
}

QString header() {
    return QStringLiteral(
        "kind,start,end,duration_s,host,address,echoes_lost,first_status,cause,causes_seen,gateway,interface,note");
}

QString formatLine(const LedgerRow& row) {
    const QStringList fields{
        row.kind == LedgerRow::Kind::Gap ? QString::fromLatin1(kKindGap) : QString::fromLatin1(kKindOutage),
        formatTime(row.start),
        formatTime(row.end),
        formatDuration(row.durationMs),
        row.host,
        row.address,
        QString::number(row.echoesLost),
        row.firstStatus,
        row.cause,
        row.causesSeen.join(kCausesSeparator),
        row.gateway,
        row.interface,
        row.note,
    };
    QStringList traced;
    if (row.lastHopNumber > 0)
        traced = QStringList{row.lastHop, QString::number(row.lastHopNumber)};
    QStringList line;
    for (const QString& field : fields + traced)
        line.append(quoted(field));
    return line.join(u',');
}

std::optional<LedgerRow> parseRecord(QByteArrayView record) {
    const Fields fields = split(record);
    if (!fields.wellFormed || !rowSize(fields.values.size()))
        return std::nullopt;
    const QList<QByteArray>& v = fields.values;
    LedgerRow row;
    if (v[0] == kKindOutage)
        row.kind = LedgerRow::Kind::Outage;
    else if (v[0] == kKindGap)
        row.kind = LedgerRow::Kind::Gap;
    else
        return std::nullopt; // the header, or no row at all
    QStringList f;
    for (const QByteArray& value : v)
        f.append(QString::fromUtf8(value));
    row.start = QDateTime::fromString(f[1], Qt::ISODateWithMs);
    if (!row.start.isValid())
        return std::nullopt;
    if (!f[2].isEmpty()) {
        row.end = QDateTime::fromString(f[2], Qt::ISODateWithMs);
        if (!row.end.isValid())
            return std::nullopt;
    }
    bool ok = false;
    row.echoesLost = f[6].toInt(&ok);
    if (!ok || row.echoesLost < 0 || !parseDuration(f[3], &row.durationMs))
        return std::nullopt;
    row.host = f[4];
    row.address = f[5];
    row.firstStatus = f[7];
    row.cause = f[8];
    if (!f[9].isEmpty())
        row.causesSeen = f[9].split(kCausesSeparator);
    row.gateway = f[10];
    row.interface = f[11];
    row.note = f[12];
    if (f.size() == kTracedColumns) {
        row.lastHop = f[13];
        row.lastHopNumber = f[14].toInt(&ok);
        if (!ok || row.lastHopNumber < 1 || row.lastHopNumber > 255)
            return std::nullopt;
    }
    return row;
}

std::optional<HostFields> hostOf(QByteArrayView record) {
    const Fields fields = split(record);
    if (!fields.wellFormed || !rowSize(fields.values.size()) || isHeader(fields))
        return std::nullopt;
    return HostFields{QString::fromUtf8(fields.values[kHostColumn]), QString::fromUtf8(fields.values[kHostColumn + 1])};
}

void RecordReader::feed(QByteArrayView bytes) {
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', from);
        const qsizetype stop = newline < 0 ? bytes.size() : newline;
        if (!m_overlong) {
            m_current.append(bytes.sliced(from, stop - from));
            if (m_current.size() > kLongestRow) {
                // No row of ours: the rest of this line is not kept.
                m_overlong = true;
                m_current.clear();
            }
        }
        if (newline < 0)
            break;
        endLine();
        from = newline + 1;
    }
    process(false);
}

void RecordReader::endLine() {
    if (m_current.endsWith('\r'))
        m_current.chop(1);
    if (m_overlong) {
        // It ends any record in the making: nothing closes a quote across it.
        process(true);
        ++m_malformed;
        if (m_firstMalformed == 0)
            m_firstMalformed = m_lineNumber;
    } else {
        m_lines.push_back({std::move(m_current), m_lineNumber});
    }
    m_current = QByteArray();
    m_overlong = false;
    ++m_lineNumber;
}

void RecordReader::finish() {
    m_unfinished = m_overlong || !m_current.isEmpty();
    m_current.clear();
    m_overlong = false;
    process(true);
}

void RecordReader::skipFirst() {
    ++m_malformed;
    if (m_firstMalformed == 0)
        m_firstMalformed = m_lines.front().number;
    m_lines.pop_front();
}

void RecordReader::process(bool atEnd) {
    while (!m_lines.empty()) {
        Quote state = Quote::FieldStart;
        qsizetype size = 0;
        std::size_t count = 0;
        bool closed = false;
        for (; count < m_lines.size(); ++count) {
            if (count > 0) {
                size += 2;
                state = advance(state, '\r');
            }
            for (const char c : std::as_const(m_lines[count].bytes))
                state = advance(state, c);
            size += m_lines[count].bytes.size();
            if (state != Quote::Quoted || size > kLongestRow) {
                closed = state != Quote::Quoted;
                ++count;
                break;
            }
        }
        if (!closed && size <= kLongestRow && !atEnd)
            return; // the quote may still close in lines to come
        if (!closed) {
            skipFirst();
            continue;
        }
        if (count == 1 && m_lines.front().bytes.isEmpty()) {
            m_lines.pop_front(); // a blank line is no row and no fault
            continue;
        }
        QByteArray record = m_lines.front().bytes;
        for (std::size_t i = 1; i < count; ++i)
            record += "\r\n" + m_lines[i].bytes;
        const bool header = record.startsWith("kind,");
        if (!header && !m_take(record, m_lines.front().number)) {
            skipFirst();
            continue;
        }
        m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(count));
    }
}

} // namespace ledgercsv
