#include "ScriptedFileDialogs.h"
#include "ScriptedMessageBoxes.h"
#include "TestMain.h"
#include "ledger/HostState.h"
#include "ledger/LedgerFile.h"
#include "outages/OutagesModel.h"
#include "outages/TOutagesForm.h"
#include "outages/TPeriodDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

// The outage window: its totals, the sorted table, the outage in progress
// and the exports.
class TestOutagesWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ledger;
    ScriptedFileDialogs dialogs;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<TOutagesForm> form;
    const QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::LocalTime);

    LedgerRow row(qint64 secondsAgo, qint64 seconds, const QString& cause, int lost = 0,
                  LedgerRow::Kind kind = LedgerRow::Kind::Outage) const {
        LedgerRow r;
        r.kind = kind;
        r.start = now.addSecs(-secondsAgo);
        r.end = r.start.addSecs(seconds);
        r.durationMs = seconds * 1000;
        r.host = QStringLiteral("router.lan");
        r.echoesLost = lost;
        r.cause = cause;
        return r;
    }
    void useLedger(const QList<LedgerRow>& rows) {
        LedgerFile file(ledger);
        for (const LedgerRow& r : rows)
            QVERIFY(file.append(r));
        form->setLedger(ledger, QStringLiteral("router.lan"));
    }
    QString value(const QString& name) const {
        const QLabel* label = form->findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("(no %1)").arg(name);
    }
    QString cell(int row, int column) const { return form->tvRows->model()->index(row, column).data().toString(); }
    void clickHeader(int column) {
        QHeaderView* header = form->tvRows->horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    QByteArray contents(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        QFile::remove(dir.filePath(QStringLiteral("Outages.csv")));
        ledger = dir.filePath(QStringLiteral("Outages.csv"));
        dialogs = ScriptedFileDialogs();
        boxes = ScriptedMessageBoxes();
        TApplication::SetMessageBoxes(&boxes);
        form = std::make_unique<TOutagesForm>(nullptr, &dialogs);
        form->setClock([this] { return now; });
        form->setWatchedSince(now.addDays(-60));
    }
    void cleanup() {
        form.reset();
        TApplication::SetMessageBoxes(nullptr);
    }

    void totalsFollowRowsAndTheOutageInProgress() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Outages"));
        useLedger({row(3600, 600, cause::LocalNetwork), row(3 * 86400, 1200, cause::BeyondGateway),
                   row(10 * 86400, 86400, QString(), 0, LedgerRow::Kind::Gap)});
        QCOMPARE(value("lbOutages_24h"), QStringLiteral("1"));
        QCOMPARE(value("lbOutages_7d"), QStringLiteral("2"));
        QCOMPARE(value("lbAvailability_24h"), QStringLiteral("99.305 %")); // 600 s of 86400
        QCOMPARE(value("lbLongest_7d"), QStringLiteral("20 min 00 s"));
        QCOMPARE(value("lbDowntime_30d"), QStringLiteral("30 min 00 s"));
        QCOMPARE(value("lbCause_24h_Local network"), QStringLiteral("10 min 00 s"));
        QCOMPARE(value("lbCause_24h_Beyond the gateway"), QStringLiteral("0 s"));
        QCOMPARE(value("lbGaps_7d"), QStringLiteral("0 s"));
        QCOMPARE(value("lbGaps_30d"), QStringLiteral("1 d 00 h"));

        // Time before watching began counts as neither up nor down.
        form->setWatchedSince(now.addSecs(-7200));
        QCOMPARE(value("lbAvailability_24h"), QStringLiteral("91.666 %"));

        // The outage in progress counts until now and shows as a row of its own.
        const LedgerRow open = row(300, 0, cause::Offline);
        LedgerRow pending = open;
        pending.end = QDateTime();
        form->setInProgress(pending);
        QCOMPARE(value("lbOutages_24h"), QStringLiteral("2"));
        QCOMPARE(value("lbCause_24h_This computer is offline"), QStringLiteral("5 min 00 s"));
        QCOMPARE(form->tvRows->model()->rowCount(), 4);
        QCOMPARE(cell(0, OutagesModel::End), QStringLiteral("(in progress)")); // newest first
        QCOMPARE(cell(0, OutagesModel::Duration), QStringLiteral("5 min 00 s"));
        // Its row, once written, takes its place.
        LedgerRow done = open;
        done.end = now;
        done.durationMs = 300'000;
        form->addRow(done);
        QCOMPARE(form->tvRows->model()->rowCount(), 4);
        QCOMPARE(cell(0, OutagesModel::End), QStringLiteral("2026-12-08 12:00:00"));
    }

    void sortsByTheClickedColumnAsItMeans() {
        // As text, "2 h 00 min" < "30 min 00 s" < "5.0 s" and "10" < "9".
        useLedger({row(9000, 5, cause::Refused, 9), row(8000, 7200, cause::Refused, 10),
                   row(7000, 1800, cause::Refused, 100)});
        form->show();
        for (const int column : {int(OutagesModel::Duration), int(OutagesModel::EchoesLost)}) {
            clickHeader(column);
            const bool ascending = form->tvRows->horizontalHeader()->sortIndicatorOrder() == Qt::AscendingOrder;
            QCOMPARE(form->tvRows->horizontalHeader()->sortIndicatorSection(), column);
            QStringList expected = column == OutagesModel::Duration ? QStringList{"5.0 s", "30 min 00 s", "2 h 00 min"}
                                                                    : QStringList{"9", "10", "100"};
            if (!ascending)
                std::reverse(expected.begin(), expected.end());
            QCOMPARE((QStringList{cell(0, column), cell(1, column), cell(2, column)}), expected);
            clickHeader(column);
            QCOMPARE(cell(0, column), expected[2]);
        }
    }

    void exportsTheReportAndThePeriodsTable() {
        useLedger({row(3 * 86400, 600, cause::LocalNetwork), row(86400 + 60, 120, cause::BeyondGateway)});
        const TOutagesForm::Period period{now.addDays(-2), now};
        int asked = 0;
        form->askPeriod = [&](const QString&) {
            ++asked;
            return std::optional<TOutagesForm::Period>(period);
        };
        dialogs.answers = {dir.filePath(QStringLiteral("report.pdf"))};
        form->btnExportReport->click();
        QCOMPARE(dialogs.calls.size(), 1);
        QVERIFY(
            dialogs.calls[0].proposedName.endsWith(QStringLiteral("Outages router.lan 2026-12-06 to 2026-12-08.pdf")));
        QVERIFY(contents(dir.filePath(QStringLiteral("report.pdf"))).startsWith("%PDF-"));

        // A name without its suffix gets it; only the period's row is written.
        dialogs.answers = {dir.filePath(QStringLiteral("table"))};
        form->btnExportTable->click();
        const QList<LedgerRow> written = LedgerFile::read(dir.filePath(QStringLiteral("table.csv")));
        QCOMPARE(written.size(), 1);
        QCOMPARE(written[0].cause, cause::BeyondGateway);

        // An existing file is replaced only when the user agrees.
        boxes.setNextAnswer(IMessageBoxes::No);
        dialogs.answers = {dir.filePath(QStringLiteral("report.pdf"))};
        QFile::resize(dir.filePath(QStringLiteral("report.pdf")), 3);
        form->btnExportReport->click();
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(contents(dir.filePath(QStringLiteral("report.pdf"))).size(), 3);

        // A cancelled period asks for no file.
        form->askPeriod = [](const QString&) { return std::optional<TOutagesForm::Period>(); };
        form->btnExportTable->click();
        QCOMPARE(dialogs.calls.size(), 3);
        QVERIFY(boxes.errors.isEmpty());
    }

    // Hosts whose logs share a folder share the ledger: the window shows its
    // own host's rows and totals, lists every host, and counts the time a
    // stopped host is not watched up to now.
    void showsOneHostOfASharedLedger() {
        LedgerRow other = row(1800, 660, cause::BeyondGateway);
        other.host = QStringLiteral("[FD77:0:0::2]");
        other.address = QStringLiteral("fd77::2");
        useLedger({row(3600, 600, cause::LocalNetwork), other});
        QCOMPARE(form->tvRows->model()->rowCount(), 1);
        QCOMPARE(value("lbDowntime_24h"), QStringLiteral("10 min 00 s"));
        QStringList hosts;
        for (int i = 0; i < form->cbHost->count(); ++i)
            hosts << form->cbHost->itemText(i);
        QCOMPARE(hosts, (QStringList{"router.lan", "[FD77:0:0::2] (fd77::2)", "All hosts"}));
        // A row of another host that arrives is not shown.
        form->addRow(other);
        QCOMPARE(form->tvRows->model()->rowCount(), 1);

        form->showHost(QString()); // all hosts: every row, no sums
        QCOMPARE(form->tvRows->model()->rowCount(), 2);
        QCOMPARE(value("lbDowntime_24h"), QStringLiteral("0 s"));
        QVERIFY(!form->btnExportReport->isEnabled());
        form->showHost(QStringLiteral("[FD77:0:0::2]"));
        QCOMPARE(form->tvRows->model()->rowCount(), 1);
        QCOMPARE(cell(0, OutagesModel::Host), QStringLiteral("[FD77:0:0::2] (fd77::2)"));

        // Stopped a quarter of an hour ago: not watched since, up to now.
        form->showHost(QStringLiteral("router.lan"));
        HostState(ledger, QStringLiteral("router.lan"))
            .writeStamp({now.addDays(-1), now.addSecs(-900), HostState::Watching::Stopped});
        form->refresh();
        QCOMPARE(value("lbGaps_24h"), QStringLiteral("15 min 00 s"));
        QCOMPARE(form->tvRows->model()->rowCount(), 2);
        QCOMPARE(cell(0, OutagesModel::Note), QStringLiteral("Linkvigil was stopped"));
    }

    void keepsItsPlace() {
        form->setGeometryText(QStringLiteral("40,50,700,420"));
        QVERIFY(form->placed());
        QCOMPARE(form->geometryText(), QStringLiteral("40,50,700,420"));
        TOutagesForm fresh(nullptr, &dialogs);
        for (const QString& text :
             {QString(), QStringLiteral("1,2,3"), QStringLiteral("a,b,c,d"), QStringLiteral("90000,90000,700,420")})
            fresh.setGeometryText(text);
        QVERIFY(!fresh.placed());
    }

    void periodDialogOffersTheLast30DaysUpToNow() {
        TPeriodDialog dialog(nullptr, QStringLiteral("Export report"), now.date());
        QCOMPARE(dialog.edFrom->date(), now.date().addDays(-29));
        QCOMPARE(dialog.edTo->date(), now.date());
        const std::optional<TPeriodDialog::Period> chosen = dialog.chosen(now);
        QVERIFY(chosen);
        QCOMPARE(chosen->from, QDateTime(now.date().addDays(-29), QTime(0, 0), Qt::LocalTime));
        QCOMPARE(chosen->to, now);
        QVERIFY(!TPeriodDialog::period(now.date(), now.date().addDays(-1), now));
    }
};

LINKVIGIL_TEST_MAIN(TestOutagesWindow)
#include "TestOutagesWindow.moc"
