#include "Period.h"
#include "Report.h"

#include "ledger/LedgerFile.h"

#include <QSaveFile>

namespace report {

bool writeCsv(const QString& path, const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
              QString* error) {
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = LedgerFile::header() + lineEnd;
    for (const LedgerRow& row : rowsIn(rows, from, to))
        text += LedgerFile::formatLine(row) + lineEnd;

    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace report
