#include "history/HistoryExport.h"

#include "clock/LocalTime.h"
#include "icmp/AddressText.h"
#include "icmp/TICMP.h"

#include <QIODevice>

namespace history {

namespace {

QString sentText(const QDateTime& wall) {
    if (!wall.isValid())
        return {};
    // The moment on the clock it was sent by, with that clock's offset.
    const int offset = wall.offsetFromUtc();
    const QDateTime shown = wall.toOffsetFromUtc(offset);
    return shown.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + localclock::offsetText(offset);
}

QString outcomeText(EchoSample::Outcome outcome) {
    switch (outcome) {
    case EchoSample::Outcome::Answered:
        return QStringLiteral("answered");
    case EchoSample::Outcome::TimedOut:
        return QStringLiteral("timed out");
    case EchoSample::Outcome::Error:
        break;
    }
    return QStringLiteral("error");
}

// Microseconds as milliseconds with three decimals, exactly: "14.250".
QString millisText(std::int64_t micros) {
    if (micros < 0)
        return {};
    return QStringLiteral("%1.%2").arg(micros / 1000).arg(micros % 1000, 3, 10, QLatin1Char('0'));
}

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString jsonString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString jsonNumber(const QString& text) {
    return text.isEmpty() ? QStringLiteral("null") : text;
}

QByteArray line(const EchoSample& echo, ExportFormat format) {
    const QString sent = sentText(echo.sent.wall);
    const QString address = inet::format(echo.address);
    const QString outcome = outcomeText(echo.outcome);
    const QString status = TICMP::StatusText(echo.status);
    const QString roundTrip = echo.answered() ? millisText(echo.roundTripMicros) : QString();
    const QString ttl = echo.answered() && echo.ttl >= 0 ? QString::number(echo.ttl) : QString();
    if (format == ExportFormat::Csv)
        return QStringList{csvField(sent),
                           csvField(echo.host),
                           csvField(address),
                           csvField(outcome),
                           csvField(status),
                           roundTrip,
                           ttl}
                   .join(u',')
                   .toUtf8() +
               "\r\n";
    return QStringLiteral(R"({"sent":%1,"host":%2,"address":%3,"outcome":%4,"status":%5,"round_trip_ms":%6,"ttl":%7})")
               .arg(jsonString(sent), jsonString(echo.host), jsonString(address), jsonString(outcome),
                    jsonString(status), jsonNumber(roundTrip), jsonNumber(ttl))
               .toUtf8() +
           '\n';
}

} // namespace

ExportResult exportEchoes(IHistorySource& source, const QString& host, qint64 fromMs, qint64 toMs, ExportFormat format,
                          QIODevice& out) {
    ExportResult result;
    const auto write = [&](const QByteArray& bytes) {
        if (out.write(bytes) == bytes.size())
            return true;
        result.ok = false;
        result.error = out.errorString();
        return false;
    };
    if (format == ExportFormat::Csv && !write("sent,host,address,outcome,status,round_trip_ms,ttl\r\n"))
        return result;
    source.forEachEcho(host, fromMs, toMs, [&](const EchoSample& echo) {
        if (!write(line(echo, format)))
            return false;
        ++result.echoes;
        return true;
    });
    return result;
}

ExportFormat formatForFile(const QString& path) {
    return path.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive) ||
                   path.endsWith(QStringLiteral(".ndjson"), Qt::CaseInsensitive)
               ? ExportFormat::JsonLines
               : ExportFormat::Csv;
}

} // namespace history
