#pragma once

#include <QDate>
#include <QDateTime>
#include <QDialog>

#include <optional>

class QDateEdit;

// A period of whole days to export, both ends included; the last 30 days
// up to today unless changed.
class TPeriodDialog : public QDialog {
    Q_OBJECT
public:
    struct Period {
        QDateTime from;
        QDateTime to;
    };

    TPeriodDialog(QWidget* parent, const QString& title, const QDate& today);

    // From the start of the first day to the end of the last, but no later
    // than `now`: nothing is known of the time after it. None when the last
    // day is before the first.
    static std::optional<Period> period(const QDate& first, const QDate& last, const QDateTime& now);

    // The period the dialog shows.
    std::optional<Period> chosen(const QDateTime& now) const;

    QDateEdit* edFrom;
    QDateEdit* edTo;
};
