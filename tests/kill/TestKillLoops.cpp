#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// kill -9 at random moments while the log is trimmed and the settings are
// saved: each file is whole afterwards, never half-written.
class TestKillLoops : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Starts the writer and kills it after a random moment, `times` times.
    void killRepeatedly(const QString& mode, const QString& path, int times,
                        const std::function<void(const QByteArray&)>& check) {
        for (int round = 0; round < times; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(LINKVIGIL_FILE_WRITER), {mode, path});
            QVERIFY(writer.waitForReadyRead(5000));
            QTest::qSleep(int(QRandomGenerator::global()->bounded(5, 60)));
            writer.kill();
            QVERIFY(writer.waitForFinished(5000));
            QFile file(path);
            QVERIFY(!file.exists() || file.open(QIODevice::ReadOnly)); // none yet: killed before its first write
            check(file.isOpen() ? file.readAll() : QByteArray());
            if (QTest::currentTestFailed())
                return;
        }
    }

private slots:
    // Whole lines, and at most the start of one where a kill fell into its
    // write: the kernel may end a write early at a page boundary when the
    // process is killed, and no append can prevent that. What must hold is
    // that such a start is never glued to the next line or torn into it.
    void logStaysWholeLines() {
        const QString path = dir.filePath(QStringLiteral("Connect.log"));
        static const QRegularExpression line(QStringLiteral("^line \\d{12} x{80}$"));
        const auto isStartOfLine = [](QString l) {
            const QString model = QStringLiteral("line 000000000000 ") + QString(80, u'x');
            if (l.endsWith(u'\r'))
                l.chop(1);
            if (l.isEmpty() || l.size() > model.size())
                return false;
            for (qsizetype i = 0; i < l.size(); ++i)
                if (model[i] == u'0' ? !l[i].isDigit() : l[i] != model[i])
                    return false;
            return true;
        };
        killRepeatedly(QStringLiteral("log"), path, 40, [&isStartOfLine](const QByteArray& text) {
            const QStringList lines = QString::fromLatin1(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            for (const QString& l : lines)
                QVERIFY2(line.match(l).hasMatch() || isStartOfLine(l), qPrintable(l));
        });
    }

    void settingsAreOldOrNew() {
        const QString path = dir.filePath(QStringLiteral("Linkvigil.ini"));
        killRepeatedly(QStringLiteral("settings"), path, 50, [](const QByteArray& text) {
            if (text.isEmpty())
                return; // killed before the first save
            static const QRegularExpression key(QStringLiteral("^k\\d+=(\\d+)$"));
            QStringList values;
            for (const QString& l : QString::fromLatin1(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
                if (const auto m = key.match(l); m.hasMatch())
                    values << m.captured(1);
            QCOMPARE(values.size(), 20);
            QCOMPARE(values.count(values.first()), 20); // all from one save
        });
    }
};

QTEST_GUILESS_MAIN(TestKillLoops)
#include "TestKillLoops.moc"
