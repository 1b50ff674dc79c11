#include "ReportRange.h"
#include "ledger/LedgerFile.h"
#include "report/CauseColours.h"
#include "report/Format.h"
#include "report/Report.h"
#include "report/Timeline.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The outage report: the PDF's content and pagination, the CSV of a period,
// and linkvigil-report's period argument and exit codes.
class TestReport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QDateTime at(int day, int hour, int minute = 0) {
        return QDateTime(QDate(2026, 11, day), QTime(hour, minute), Qt::LocalTime);
    }
    static LedgerRow row(const QDateTime& start, qint64 seconds, const QString& cause,
                         LedgerRow::Kind kind = LedgerRow::Kind::Outage) {
        LedgerRow r;
        r.kind = kind;
        r.start = start;
        r.end = start.addSecs(seconds);
        r.durationMs = seconds * 1000;
        r.host = QStringLiteral("example.test");
        r.cause = cause;
        return r;
    }
    // Three days, one of them a gap: 2 days watched, 1728 s down, 99.000 %.
    static QList<LedgerRow> sample() {
        return {row(at(1, 3), 1000, cause::BeyondGateway), row(at(1, 22), 24 * 3600, QString(), LedgerRow::Kind::Gap),
                row(at(2, 23), 728, cause::LocalNetwork)};
    }
    QString pdfText(const QString& pdf) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (tool.isEmpty())
            return {};
        QProcess process;
        process.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        return process.waitForFinished(30000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
    }
    static QByteArray head(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(5) : QByteArray();
    }
    int runTool(const QStringList& arguments, QByteArray* output = nullptr) {
        QProcess process;
        process.start(QStringLiteral(LINKVIGIL_REPORT_TOOL), arguments);
        if (!process.waitForFinished(30000))
            return -1;
        if (output)
            *output = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode();
    }
    void writeLedger(const QString& path, const QList<LedgerRow>& rows) {
        QVERIFY(QFile::remove(path) || !QFile::exists(path));
        LedgerFile ledger(path);
        for (const LedgerRow& r : rows)
            QVERIFY(ledger.append(r));
    }

private slots:
    void texts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << report::durationText(0) << "0 s";
        QTest::newRow("tenths") << report::durationText(4049) << "4.0 s";
        QTest::newRow("seconds round up to a minute") << report::durationText(59'600) << "1 min 00 s";
        QTest::newRow("hours") << report::durationText((3 * 3600 + 7 * 60 + 29) * 1000LL) << "3 h 07 min";
        QTest::newRow("days") << report::durationText((2 * 86400 + 4 * 3600) * 1000LL) << "2 d 04 h";
        // Any downtime shows: the share is cut, not rounded up to 100 %.
        QTest::newRow("cut") << report::availabilityText(0.999996) << "99.999 %";
        QTest::newRow("exact") << report::availabilityText(0.99) << "99.000 %";
        QTest::newRow("whole") << report::availabilityText(1.0) << "100.000 %";
        QTest::newRow("unwatched") << report::availabilityText(std::nan("")) << "–";
    }
    void texts() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void timelineDaysAndBars() {
        // 22:00 to midnight two days later touches two days, not three.
        const QList<LedgerRow> rows{row(at(1, 6), 6 * 3600, cause::Offline),
                                    row(at(1, 23), 2 * 3600, QString(), LedgerRow::Kind::Gap)};
        report::Timeline timeline(rows, at(1, 0), at(3, 0), at(1, 3));
        QCOMPARE(timeline.days(), (QList<QDate>{QDate(2026, 11, 1), QDate(2026, 11, 2)}));
        QCOMPARE(timeline.causes(), QList<QString>{cause::Offline});

        // Each day 240 pixels wide, 10 to the hour.
        QImage image(300, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            timeline.drawDay(painter, QDate(2026, 11, 1), QRectF(40, 0, 240, 16), 40, QFont());
            timeline.drawDay(painter, QDate(2026, 11, 2), QRectF(40, 20, 240, 16), 40, QFont());
        }
        const auto colour = [&](double hour, int day) { return image.pixelColor(int(40 + hour * 10), day * 20 + 8); };
        const auto hatched = [&](double hour, int day) {
            int dark = 0;
            for (int y = day * 20 + 2; y < day * 20 + 14; ++y)
                dark += image.pixelColor(int(40 + hour * 10), y).lightness() < 128;
            return dark > 0 && dark < 12;
        };
        QCOMPARE(colour(9, 0), report::causeColour(cause::Offline));
        QVERIFY(colour(1, 0) != colour(4, 0)); // before watching began, then up
        QVERIFY(colour(4, 0) != report::causeColour(cause::Offline));
        QVERIFY(hatched(23.5, 0));
        QVERIFY(hatched(0.5, 1)); // the gap goes on after midnight
        QVERIFY(!hatched(1.5, 1));
    }

    void pdfHoldsTotalsCausesAndEveryRow() {
        QList<LedgerRow> rows = sample();
        rows[0].lastHop = QStringLiteral("10.81.2.2");
        rows[0].lastHopNumber = 2;
        // Enough rows for the table to go on over several pages.
        for (int i = 0; i < 150; ++i) {
            LedgerRow extra = row(at(3, 0).addSecs(i * 60), 1, cause::Refused);
            extra.note = QStringLiteral("n%1x").arg(i);
            rows.append(extra);
        }
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QString error;
        QVERIFY2(report::writePdf(path, QStringLiteral("example.test"), rows, at(1, 0), at(4, 0), at(1, 0), &error),
                 qPrintable(error));
        QCOMPARE(head(path), QByteArray("%PDF-"));
        const QString text = pdfText(path);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the text of the PDF is not checked");
        QVERIFY(text.contains(QStringLiteral("Outages of example.test")));
        QVERIFY(text.contains(QStringLiteral("98.913 %"))); // 1728 s + 150 s down of 2 days
        for (const QString& name : {cause::BeyondGateway, cause::LocalNetwork, cause::Refused})
            QVERIFY2(text.contains(name), qPrintable(name));
        QVERIFY(text.contains(QStringLiteral("Page 2 of ")));
        // The traced outage names the hop where its path ended, in its
        // cause and in the table's column of its own.
        QVERIFY(text.contains(QStringLiteral("Last hop")));
        QVERIFY(text.simplified().contains(QStringLiteral("2 (10.81.2.2)")));
        QCOMPARE(report::causeText(rows[0]),
                 QStringLiteral("Beyond the gateway: the path ends after hop 2 (10.81.2.2)"));
        for (int i = 0; i < 150; ++i)
            QVERIFY2(text.contains(QStringLiteral("n%1x").arg(i)), "a row of the table is missing");
    }

    // The report and the guide are printed on the same pages: no word of
    // either runs into the 20 mm side margins (the outage table's columns
    // once ran 10 mm past the right one), and each page has its footer.
    void pagesKeepTheirMargins_data() {
        QTest::addColumn<QString>("pdf");
        QTest::newRow("report") << QString();
        QTest::newRow("guide") << QStringLiteral(LINKVIGIL_GUIDE_PDF);
    }
    void pagesKeepTheirMargins() {
        QFETCH(QString, pdf);
        if (pdf.isEmpty()) {
            QList<LedgerRow> rows = sample();
            rows[0].lastHop = QStringLiteral("2001:db8:81:3:ffff:ffff:ffff:2");
            rows[0].lastHopNumber = 12;
            rows[0].note = QStringLiteral("a note long enough to fill its column and more");
            pdf = dir.filePath(QStringLiteral("margins.pdf"));
            QString error;
            QVERIFY2(report::writePdf(pdf, QStringLiteral("example.test"), rows, at(1, 0), at(4, 0), at(1, 0), &error),
                     qPrintable(error));
        }
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (tool.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: the pages are not checked");
        QProcess process;
        process.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QVERIFY(process.waitForFinished(30000));
        const QString boxes = QString::fromUtf8(process.readAllStandardOutput());
        const QRegularExpression page(QStringLiteral("<page width=\"([0-9.]+)\""));
        const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" "
                                                     "xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">([^<]*)</word>"));
        const QRegularExpressionMatch first = page.match(boxes);
        QVERIFY(first.hasMatch());
        const double width = first.captured(1).toDouble();
        const double margin = 20 / 25.4 * 72 - 0.5; // points, less a little for rounding
        int words = 0;
        for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
            const QRegularExpressionMatch m = it.next();
            QVERIFY2(m.captured(1).toDouble() >= margin && m.captured(2).toDouble() <= width - margin,
                     qPrintable(m.captured(3) + QStringLiteral(" at ") + m.captured(1) + u'-' + m.captured(2)));
        }
        QVERIFY(words > 100);
        const int pages = int(boxes.count(QStringLiteral("<page ")));
        QVERIFY(pages >= 1);
        QCOMPARE(boxes.count(QStringLiteral(">Page</word>")), pages);
    }

    void pdfRefusesAnEmptyPeriodAndAnUnwritablePath() {
        QString error;
        QVERIFY(!report::writePdf(dir.filePath(QStringLiteral("a.pdf")), QString(), sample(), at(2, 0), at(2, 0),
                                  QDateTime(), &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        const QString missing = dir.filePath(QStringLiteral("no/such/folder/b.pdf"));
        QVERIFY(!report::writePdf(missing, QString(), sample(), at(1, 0), at(2, 0), QDateTime(), &error));
        QVERIFY(error.contains(missing));
    }

    // The report of one host of a shared ledger: its own rows, a period
    // begun where its record begins, and no watched time it cannot know.
    void gathersOneHostsRowsOnly() {
        const QString ledger = dir.filePath(QStringLiteral("Outages.csv"));
        LedgerRow other = row(at(2, 1), 3600, cause::Refused);
        other.host = QStringLiteral("other.test");
        writeLedger(ledger, sample() + QList<LedgerRow>{other});
        const QDateTime now = at(4, 0);
        report::Source mine = report::gather(ledger, QStringLiteral("example.test"), at(1, 0).addDays(-400), now, now);
        QCOMPARE(mine.rows, sample());
        QCOMPARE(mine.from, at(1, 3)); // its first row: no stamp of an earlier version
        QCOMPARE(mine.watchedSince, at(1, 3));
        QCOMPARE(mine.remarks.size(), 1);
        QVERIFY(mine.remarks[0].contains(QStringLiteral("where the ledger's record of this host begins")));
        const report::Source none = report::gather(ledger, QStringLiteral("never.test"), at(1, 0), now, now);
        QVERIFY(none.rows.isEmpty());
        QCOMPARE(none.watchedSince, now);
        QVERIFY(none.remarks.join(u' ').contains(QStringLiteral("no availability is given")));
    }

    void csvHoldsTheRowsOfThePeriodOnly() {
        const QList<LedgerRow> rows{
            row(at(1, 23), 3600, cause::Offline),          // ends where the period begins
            row(at(1, 23, 30), 3600, cause::LocalNetwork), // reaches into it
            row(at(2, 12), 0, cause::Refused),             // no length, inside
            row(at(2, 23, 59), 600, cause::BeyondGateway), // reaches out of it
            row(at(3, 0), 0, cause::Refused),              // no length, at its end
        };
        const QString path = dir.filePath(QStringLiteral("period.csv"));
        QString error;
        QVERIFY2(report::writeCsv(path, rows, at(2, 0), at(3, 0), &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readLine().startsWith(LedgerFile::header().toUtf8() + "\r\n"));
        QCOMPARE(LedgerFile::read(path), (QList<LedgerRow>{rows[1], rows[2], rows[3]}));
    }

    void rangeArgument_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("from"); // invalid: no period
        QTest::addColumn<QDateTime>("to");
        const QDateTime now = at(20, 12);
        QTest::newRow("dates, the last included") << "2026-11-01..2026-11-03" << at(1, 0) << at(4, 0);
        QTest::newRow("date and time, blank or T") << "2026-11-01 08:30..2026-11-02T06:00" << at(1, 8, 30) << at(2, 6);
        QTest::newRow("no end: now") << "2026-11-10.." << at(10, 0) << now;
        QTest::newRow("no start: 30 days") << "..2026-11-19" << at(20, 0).addDays(-30) << at(20, 0);
        QTest::newRow("the future is cut") << "2026-11-19..2026-12-31" << at(19, 0) << now;
        QTest::newRow("backwards") << "2026-11-05..2026-11-01" << QDateTime() << QDateTime();
        QTest::newRow("all future") << "2026-11-21.." << QDateTime() << QDateTime();
        QTest::newRow("no dots") << "2026-11-01" << QDateTime() << QDateTime();
        QTest::newRow("no date") << "yesterday.." << QDateTime() << QDateTime();
        QTest::newRow("no month 13") << "2026-13-01..2026-11-02" << QDateTime() << QDateTime();
    }
    void rangeArgument() {
        QFETCH(QString, text);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QString error;
        const std::optional<ReportRange> range = ReportRange::parse(text, at(20, 12), &error);
        QCOMPARE(range.has_value(), from.isValid());
        QCOMPARE(error.isEmpty(), from.isValid());
        if (range) {
            QCOMPARE(range->from, from);
            QCOMPARE(range->to, to);
        }
    }

    void toolExitCodes() {
        const QString ledger = dir.filePath(QStringLiteral("Outages.csv"));
        writeLedger(ledger, sample());
        const QString out = dir.filePath(QStringLiteral("tool.pdf"));
        QByteArray output;
        QCOMPARE(
            runTool({QStringLiteral("2026-11-01..2026-11-03"), ledger, QStringLiteral("example.test"), out}, &output),
            0);
        QCOMPARE(output, QByteArray()); // nothing printed on success
        QCOMPARE(head(out), QByteArray("%PDF-"));

        QCOMPARE(runTool({QStringLiteral("2026-11-03..2026-11-01"), ledger, QStringLiteral("h"), out}, &output), 2);
        QVERIFY(output.contains("empty"));
        // No ledger at that path: said, rather than a report of 100 %.
        QCOMPARE(runTool({QStringLiteral("..2026-11-03"), dir.filePath(QStringLiteral("none.csv")), QStringLiteral("h"),
                          out},
                         &output),
                 2);
        QVERIFY(output.contains("no ledger found at " + dir.filePath(QStringLiteral("none.csv")).toUtf8()));
        // Never over the ledger, a file beside it, or a folder.
        for (const QString& target : {ledger, ledger + QStringLiteral(".open"), dir.path(),
                                      dir.filePath(QStringLiteral("Outages.state/h.watched"))}) {
            QCOMPARE(runTool({QStringLiteral("2026-11-01..2026-11-03"), ledger, QStringLiteral("example.test"), target},
                             &output),
                     2);
            QVERIFY(!output.isEmpty());
        }
        QCOMPARE(LedgerFile::read(ledger), sample());
        QCOMPARE(runTool({QStringLiteral("..2026-11-03"), dir.path(), QStringLiteral("h"), out}), 2);
        QCOMPARE(runTool({QStringLiteral("2026-11-01.."), ledger, QStringLiteral("h")}), 2);
        QCOMPARE(runTool({QStringLiteral("2026-11-01.."), ledger, QStringLiteral("h"),
                          dir.filePath(QStringLiteral("no/folder.pdf"))}),
                 1);
    }
};

QTEST_MAIN(TestReport)
#include "TestReport.moc"
