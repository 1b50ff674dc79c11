#include "outages/TPeriodDialog.h"

#include "Fonts.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>

namespace {

constexpr int kDefaultDays = 30;

QDateEdit* dateEdit(QWidget* parent, const char* name, const QDate& date, const QDate& today) {
    auto* edit = new QDateEdit(date, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    edit->setMaximumDate(today);
    return edit;
}

} // namespace

TPeriodDialog::TPeriodDialog(QWidget* parent, const QString& title, const QDate& today) : QDialog(parent) {
    setObjectName(QStringLiteral("PeriodDialog"));
    setWindowTitle(title);
    setFont(fonts::windowFont());
    edFrom = dateEdit(this, "edFrom", today.addDays(1 - kDefaultDays), today);
    edTo = dateEdit(this, "edTo", today, today);
    // The last day may not come before the first.
    edTo->setMinimumDate(edFrom->date());
    connect(edFrom, &QDateEdit::dateChanged, edTo, &QDateEdit::setMinimumDate);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("From:"), edFrom);
    layout->addRow(QStringLiteral("To:"), edTo);
    layout->addRow(buttons);
}

std::optional<TPeriodDialog::Period> TPeriodDialog::chosen(const QDateTime& now) const {
    return period(edFrom->date(), edTo->date(), now);
}

std::optional<TPeriodDialog::Period> TPeriodDialog::period(const QDate& first, const QDate& last,
                                                           const QDateTime& now) {
    Period result{QDateTime(first, QTime(0, 0), Qt::LocalTime), QDateTime(last.addDays(1), QTime(0, 0), Qt::LocalTime)};
    if (now.isValid() && result.to > now)
        result.to = now;
    if (!result.from.isValid() || !result.to.isValid() || result.from >= result.to)
        return std::nullopt;
    return result;
}
