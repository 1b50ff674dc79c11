#include "CauseColours.h"
#include "EchoGraph.h"
#include "Format.h"
#include "Period.h"
#include "Report.h"
#include "Timeline.h"

#include "clock/LocalTime.h"
#include "icmp/AddressText.h"
#include "ledger/LedgerTotals.h"
#include "page/PageComposer.h"
#include "page/PageStyle.h"
#include "page/PdfPages.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>
#include <QTimeZone>

#include <algorithm>
#include <memory>

#ifndef LINKVIGIL_VERSION
#define LINKVIGIL_VERSION "0.0.0"
#endif

namespace report {

namespace {

using page::kHeading;
using page::kQuiet;
using page::kRule;
using page::kStripe;
using page::kTableHeaderBackground;
using page::mm;
using page::sans;

QString titleText(const QString& host) {
    return host.isEmpty() ? QStringLiteral("Outages") : QStringLiteral("Outages of %1").arg(host);
}

QString minuteText(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString periodText(const QDateTime& from, const QDateTime& to) {
    return QStringLiteral("%1 to %2").arg(minuteText(from), minuteText(to));
}

// "3 days" for whole days, else the length as a duration.
QString lengthText(qint64 ms) {
    constexpr qint64 day = 24 * 3600 * 1000LL;
    if (ms % day != 0)
        return durationText(ms);
    return ms == day ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(ms / day);
}

// What the report is made of, shared by its parts while they are laid out.
struct Sheet {
    QPainter& painter; // active on the PDF, for measuring text
    PageComposer& pages;
    double width() const { return pages.body().width(); }
    double left() const { return pages.body().left(); }

    double textHeight(const QFont& font, double width, const QString& text, const QTextOption& option) const {
        painter.setFont(font);
        return painter.boundingRect(QRectF(0, 0, width, 1e7), text, option).height();
    }
    // A line of text across the body, moving down past it.
    void line(const QString& text, const QFont& font, const QColor& colour, double spaceAfter) {
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        const double height = textHeight(font, width(), text, option);
        const QRectF rect(left(), pages.y(), width(), height);
        pages.add([=](QPainter& p) {
            p.setFont(font);
            p.setPen(colour);
            p.drawText(rect, text, option);
        });
        pages.advance(height + spaceAfter);
    }
    // A section heading, kept on one page with `keepWith` of what follows.
    void heading(const QString& text, double keepWith) {
        const QFont font = sans(12, true);
        pages.ensureRoom(QFontMetricsF(font, painter.device()).height() * 1.6 + keepWith);
        line(text, font, kHeading, mm(2));
    }
    void rule(double spaceAfter) {
        const double y = pages.y();
        const double l = left();
        const double r = pages.body().right();
        pages.add([=](QPainter& p) {
            p.setPen(QPen(kRule, mm(0.25)));
            p.drawLine(QPointF(l, y), QPointF(r, y));
        });
        pages.advance(spaceAfter);
    }
};

struct Table {
    struct Row {
        QStringList cells;
        QColor swatch; // a colour square before the text of the swatch column, if valid
    };
    int swatchColumn = 0;
    QList<double> widthsMm;
    QList<Qt::Alignment> alignments;
    QStringList header;
    QList<Row> rows;
    QFont font = sans(8);
    QFont headerFont = sans(8, true);
};

// Lays a table out, its header again at the top of each page it goes on to.
void placeTable(Sheet& sheet, const Table& table) {
    const double padX = mm(1.2);
    const double padY = mm(0.8);
    const double swatch = mm(2.6);
    // The columns share the body's width in the proportions given.
    double givenMm = 0;
    for (const double w : table.widthsMm)
        givenMm += w;
    const double scale = givenMm > 0 ? sheet.width() / mm(givenMm) : 1;
    const auto columnWidth = [&](int column) { return mm(table.widthsMm[column]) * scale; };
    const auto option = [&](int column) {
        QTextOption result(table.alignments.value(column, Qt::AlignLeft));
        result.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return result;
    };
    const auto textLeft = [&](int column, const Table::Row* row) {
        return column == table.swatchColumn && row && row->swatch.isValid() ? padX + swatch + mm(1.5) : padX;
    };
    const auto height = [&](const QStringList& cells, const QFont& font, const Table::Row* row) {
        double tallest = QFontMetricsF(font, sheet.painter.device()).height();
        for (int c = 0; c < cells.size() && c < table.widthsMm.size(); ++c)
            tallest = std::max(tallest,
                               sheet.textHeight(font, columnWidth(c) - textLeft(c, row) - padX, cells[c], option(c)));
        return tallest + 2 * padY;
    };
    const auto place = [&](const QStringList& cells, const QFont& font, const Table::Row* row, QColor background,
                           double rowHeight) {
        const double top = sheet.pages.y();
        const double bodyLeft = sheet.left();
        double left = bodyLeft;
        const double right = sheet.pages.body().right();
        const QColor swatchColour = row ? row->swatch : QColor();
        QList<QRectF> rects;
        QList<QTextOption> options;
        double swatchLeft = left;
        for (int c = 0; c < cells.size() && c < table.widthsMm.size(); ++c) {
            const double w = columnWidth(c);
            if (c == table.swatchColumn)
                swatchLeft = left + padX;
            const double inset = textLeft(c, row);
            rects.append(QRectF(left + inset, top + padY, w - inset - padX, rowHeight - 2 * padY));
            options.append(option(c));
            left += w;
        }
        sheet.pages.add([=](QPainter& p) {
            if (background.isValid())
                p.fillRect(QRectF(bodyLeft, top, right - bodyLeft, rowHeight), background);
            if (swatchColour.isValid()) {
                const double lineHeight = QFontMetricsF(font, p.device()).height();
                p.fillRect(QRectF(swatchLeft, top + padY + (lineHeight - swatch) / 2, swatch, swatch), swatchColour);
            }
            p.setFont(font);
            p.setPen(Qt::black);
            for (int c = 0; c < rects.size(); ++c)
                p.drawText(rects[c], cells[c], options[c]);
            p.setPen(QPen(kRule, mm(0.12)));
            p.drawLine(QPointF(bodyLeft, top + rowHeight), QPointF(right, top + rowHeight));
        });
        sheet.pages.advance(rowHeight);
    };

    const double headerHeight = height(table.header, table.headerFont, nullptr);
    const double firstRow = table.rows.isEmpty() ? 0 : height(table.rows.first().cells, table.font, nullptr);
    sheet.pages.ensureRoom(headerHeight + firstRow);
    place(table.header, table.headerFont, nullptr, kTableHeaderBackground, headerHeight);
    for (int r = 0; r < table.rows.size(); ++r) {
        const Table::Row& row = table.rows[r];
        const double rowHeight = height(row.cells, table.font, &row);
        if (rowHeight > sheet.pages.room()) {
            sheet.pages.newPage();
            place(table.header, table.headerFont, nullptr, kTableHeaderBackground, headerHeight);
        }
        place(row.cells, table.font, &row, r % 2 ? kStripe : QColor(), rowHeight);
    }
}

void placeTitle(Sheet& sheet, const QString& host, const QDateTime& from, const QDateTime& to,
                const QDateTime& watchedSince, const QStringList& remarks) {
    sheet.line(titleText(host), sans(18, true), kHeading, mm(1.5));
    sheet.line(QStringLiteral("%1 (%2)").arg(periodText(from, to), lengthText(from.msecsTo(to))), sans(11), kQuiet,
               mm(1));
    QString made = QStringLiteral("Made %1 by Linkvigil %2")
                       .arg(stampText(QDateTime::currentDateTime()), QString::fromLatin1(LINKVIGIL_VERSION));
    if (watchedSince.isValid() && watchedSince < to)
        made = QStringLiteral("Watched since %1. ").arg(minuteText(watchedSince)) + made;
    sheet.line(made, sans(8.5), kQuiet, remarks.isEmpty() ? mm(2.5) : mm(1));
    for (const QString& remark : remarks)
        sheet.line(remark, sans(8.5, true), kHeading, mm(1));
    if (!remarks.isEmpty())
        sheet.pages.advance(mm(1.5));
    sheet.rule(mm(5));
}

void placeTotals(Sheet& sheet, const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
                 const QDateTime& watchedSince) {
    QList<ledger::Totals> columns{ledger::totals(rows, from, to, watchedSince)};
    Table table;
    table.header = QStringList{QString(), QStringLiteral("This period")};
    for (const Span& span : recentSpans()) {
        columns.append(ledger::totals(rows, to.addMSecs(-span.lengthMs), to, watchedSince));
        table.header.append(span.label);
    }
    table.widthsMm = {58, 29, 29, 29, 29};
    table.alignments = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight};
    const auto row = [&](const QString& label, const auto& value, QColor swatch = QColor()) {
        QStringList cells{label};
        for (const ledger::Totals& totals : columns)
            cells.append(value(totals));
        table.rows.append({cells, swatch});
    };
    row(QStringLiteral("Availability"), [](const ledger::Totals& t) { return availabilityText(t.availability); });
    row(QStringLiteral("Outages"), [](const ledger::Totals& t) { return QString::number(t.outages); });
    row(QStringLiteral("Longest outage"), [](const ledger::Totals& t) { return durationText(t.longestMs); });
    row(QStringLiteral("Downtime"), [](const ledger::Totals& t) { return durationText(t.downMs); });
    QList<QString> causes;
    for (const ledger::Totals& totals : columns)
        for (auto it = totals.downByCause.begin(); it != totals.downByCause.end(); ++it)
            if (!causes.contains(it.key()))
                causes.append(it.key());
    for (const QString& name : sortedCauses(causes))
        row(
            causeText(name), [&](const ledger::Totals& t) { return durationText(t.downByCause.value(name)); },
            causeColour(name));
    row(QStringLiteral("Not watching (gaps)"), [](const ledger::Totals& t) { return durationText(t.gapMs); });
    row(QStringLiteral("Watched"), [](const ledger::Totals& t) { return durationText(t.watchedMs); });

    sheet.heading(QStringLiteral("Totals"), mm(20));
    placeTable(sheet, table);
    sheet.pages.advance(mm(1.5));
    sheet.line(QStringLiteral("The last 24 hours, 7 days and 30 days end where the period ends. Availability is the "
                              "share of the watched time without outage; time in gaps is not watched."),
               sans(7.5), kQuiet, mm(6));
}

void placeTimeline(Sheet& sheet, const QList<LedgerRow>& rows, const QDateTime& from, const QDateTime& to,
                   const QDateTime& watchedSince) {
    auto timeline = std::make_shared<Timeline>(rows, from, to, watchedSince);
    timeline->setMinimumBarWidth(mm(0.4));
    const QFont legendFont = sans(8);
    const QFont labelFont = sans(7);
    const QFont axisFont = sans(7);
    const double labelWidth = mm(27);
    const double legendColumn = sheet.width() / 2;
    const double legendHeight =
        timeline->legend(nullptr, sheet.painter.device(), QRectF(0, 0, sheet.width(), 0), legendColumn, legendFont);
    const double axisHeight = QFontMetricsF(axisFont, sheet.painter.device()).height() * 1.4;
    const int days = static_cast<int>(timeline->days().size());

    sheet.heading(QStringLiteral("Timeline"), legendHeight + axisHeight + mm(10));
    const QRectF legendArea(sheet.left(), sheet.pages.y(), sheet.width(), legendHeight);
    sheet.pages.add([=](QPainter& p) { timeline->legend(&p, p.device(), legendArea, legendColumn, legendFont); });
    sheet.pages.advance(legendHeight + mm(3));

    // As tall as page 1 allows, within bounds; what does not fit goes on.
    const double room = sheet.pages.room() - axisHeight - mm(4);
    const double pitch = std::clamp(room / std::max(days, 1), mm(3.7), mm(7.5));
    const double bandHeight = pitch * 0.72;
    const double bandLeft = sheet.left() + labelWidth;
    const double bandWidth = sheet.width() - labelWidth;
    bool axis = false;
    for (int i = 0; i < days; ++i) {
        if (sheet.pages.ensureRoom(pitch) || !axis) {
            const QRectF band(bandLeft, sheet.pages.y(), bandWidth, bandHeight);
            const double baseline = sheet.pages.y() + axisHeight * 0.7;
            sheet.pages.add([=](QPainter& p) { Timeline::drawAxis(p, band, baseline, axisFont); });
            sheet.pages.advance(axisHeight);
            axis = true;
        }
        const QRectF band(bandLeft, sheet.pages.y(), bandWidth, bandHeight);
        const QDate day = timeline->days().at(i);
        sheet.pages.add([=](QPainter& p) { timeline->drawDay(p, day, band, labelWidth, labelFont); });
        sheet.pages.advance(pitch);
    }
    sheet.pages.advance(mm(5));
}

// "2026-10-25 02:00–03:00", with the offset in the hour that happens twice.
QString hourText(const EchoHour& hour) {
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(hour.fromMs).toLocalTime();
    // Its end on the clock it began by: the first 02:00 of the night the
    // clocks go back ends at 03:00, not at the second 02:00.
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(hour.toMs, QTimeZone(from.offsetFromUtc()));
    QString text =
        from.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral("–") + to.toString(QStringLiteral("HH:mm"));
    if (localclock::isRepeated(from))
        text += QStringLiteral(" (UTC%1)").arg(localclock::offsetText(from.offsetFromUtc()));
    return text;
}

QString roundTripCell(std::int64_t us, bool estimated) {
    if (us < 0)
        return QStringLiteral("no answers");
    return estimated ? QStringLiteral("about ") + roundTripText(us) : roundTripText(us);
}

// What the history knows of the period, on a page of its own: the echoes'
// figures, the latency graph and the worst hours.
// The interval and time-out as the caller gave them, else the interval as
// the echoes' spacing shows it.
QString probingText(const Source& source) {
    if (source.intervalMs > 0 && source.timeoutMs > 0)
        return QStringLiteral("every %1 ms, answers awaited %2 ms").arg(source.intervalMs).arg(source.timeoutMs);
    if (source.echoes.spacingMs > 0)
        return QStringLiteral("every %1 ms, as the echoes are spaced; time-out not known").arg(source.echoes.spacingMs);
    return {};
}

void placeEchoes(Sheet& sheet, const EchoFigures& echoes, const QString& probing, const QDateTime& from,
                 const QDateTime& to) {
    sheet.pages.newPage();
    Table figures;
    figures.widthsMm = {58, 116};
    figures.alignments = {Qt::AlignLeft, Qt::AlignLeft};
    figures.header = QStringList{QString(), QStringLiteral("This period")};
    figures.rows = {
        {{QStringLiteral("Echoes sent"), QString::number(echoes.echoes)}, {}},
        {{QStringLiteral("Echoes lost"), QString::number(echoes.lost)}, {}},
        {{QStringLiteral("Loss rate"), lossText(echoes.lost, echoes.echoes)}, {}},
        {{QStringLiteral("Median round trip"), roundTripCell(echoes.medianUs, echoes.estimated)}, {}},
        {{QStringLiteral("95th percentile round trip"), roundTripCell(echoes.p95Us, echoes.estimated)}, {}},
        {{QStringLiteral("Time zone"), zoneText(from, to)}, {}},
    };
    if (!probing.isEmpty())
        figures.rows.insert(5, {{QStringLiteral("Probe interval and time-out"), probing}, {}});
    sheet.heading(QStringLiteral("Echoes"), mm(30));
    placeTable(sheet, figures);
    sheet.pages.advance(mm(1.5));
    if (!echoes.estimateNote.isEmpty())
        sheet.line(echoes.estimateNote, sans(7.5), kQuiet, mm(1));
    sheet.line(QStringLiteral("The round trips are of the echoes answered; the 95th percentile is the round trip "
                              "that 95 % of them did not exceed. Times are local, in the time zone above."),
               sans(7.5), kQuiet, mm(6));

    const double graphHeight = mm(80);
    sheet.heading(QStringLiteral("Round trips and losses"), graphHeight + mm(8));
    auto graph = std::make_shared<EchoGraph>(echoes, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
    const QRectF area(sheet.left(), sheet.pages.y() + mm(1.5), sheet.width(), graphHeight);
    const QFont axisFont = sans(7);
    const double unit = mm(1);
    sheet.pages.add([=](QPainter& p) { graph->draw(p, area, axisFont, unit); });
    sheet.pages.advance(graphHeight + mm(3));
    sheet.line(QStringLiteral("Per column: the median round trip as a line, the middle half of the round trips dark "
                              "blue, 10 % to 90 % lighter, the least to the most faint; below, in red, the share of "
                              "the column's echoes lost."),
               sans(7.5), kQuiet, mm(6));

    Table worst;
    worst.header = QStringList{QStringLiteral("Hour"), QStringLiteral("Echoes"), QStringLiteral("Lost"),
                               QStringLiteral("Loss"), QStringLiteral("Median"), QStringLiteral("95th percentile")};
    worst.widthsMm = {54, 20, 18, 22, 30, 30};
    worst.alignments = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight};
    for (const EchoHour& hour : echoes.worstHours)
        worst.rows.append({{hourText(hour), QString::number(hour.echoes), QString::number(hour.lost),
                            lossText(hour.lost, hour.echoes), roundTripCell(hour.medianUs, hour.estimated),
                            roundTripCell(hour.p95Us, hour.estimated)},
                           {}});
    sheet.heading(QStringLiteral("Worst hours"), mm(12));
    placeTable(sheet, worst);
    sheet.pages.advance(mm(1.5));
    sheet.line(QStringLiteral("The clock hours of the period with the largest share of their echoes lost; of equal "
                              "shares, the one with the higher 95th percentile first."),
               sans(7.5), kQuiet, mm(6));
}

void placeRows(Sheet& sheet, QList<LedgerRow> rows, const QDateTime& from, const QDateTime& to) {
    rows = rowsIn(rows, from, to);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const LedgerRow& a, const LedgerRow& b) { return a.start < b.start; });
    sheet.heading(QStringLiteral("Outages and gaps"), mm(12));
    if (rows.isEmpty()) {
        sheet.line(QStringLiteral("None in this period."), sans(9), Qt::black, 0);
        return;
    }
    Table table;
    table.font = sans(7.5);
    table.headerFont = sans(7.5, true);
    table.header = QStringList{QStringLiteral("Kind"),        QStringLiteral("Start"),
                               QStringLiteral("End"),         QStringLiteral("Duration"),
                               QStringLiteral("Echoes lost"), QStringLiteral("First status"),
                               QStringLiteral("Cause"),       QStringLiteral("Gateway / interface"),
                               QStringLiteral("Last hop"),    QStringLiteral("Note")};
    table.widthsMm = {12, 19, 19, 16, 12, 22, 26, 19, 18, 21};
    table.swatchColumn = 6;
    table.alignments = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight,
                        Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft,  Qt::AlignLeft};
    for (const LedgerRow& row : rows) {
        const bool outage = row.kind == LedgerRow::Kind::Outage;
        table.rows.append({{kindText(row.kind), stampText(row.start), stampText(row.end), durationText(row.durationMs),
                            outage ? QString::number(row.echoesLost) : QString(), row.firstStatus,
                            outage ? causeText(row) : QString(), routeText(row), lastHopText(row), row.note},
                           outage ? causeColour(row.cause) : QColor()});
    }
    placeTable(sheet, table);
}

} // namespace

namespace {

bool write(const QString& path, const QString& host, const QList<LedgerRow>& rows, const QDateTime& from,
           const QDateTime& to, const QDateTime& watchedSince, const QStringList& remarks, const EchoFigures* echoes,
           const QString& probing, QString* error) {
    const auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!from.isValid() || !to.isValid() || from >= to)
        return fail(QStringLiteral("The period of the report is empty."));

    page::PdfPages pdf(path, titleText(host) + QStringLiteral(", ") + periodText(from, to));
    if (!pdf.isOpen())
        return fail(pdf.error());
    PageComposer pages(pdf.body());
    Sheet sheet{pdf.painter(), pages};
    placeTitle(sheet, host, from, to, watchedSince, remarks);
    placeTotals(sheet, rows, from, to, watchedSince);
    placeTimeline(sheet, rows, from, to, watchedSince);
    if (echoes && echoes->any())
        placeEchoes(sheet, *echoes, probing, from, to);
    else
        sheet.line(QStringLiteral("No echoes of this host are kept for this period."), sans(9), Qt::black, mm(5));
    placeRows(sheet, rows, from, to);
    if (!pdf.finish(pages, {titleText(host), periodText(from, to)}))
        return fail(pdf.error());
    return true;
}

} // namespace

bool writePdf(const QString& path, const QString& host, const QList<LedgerRow>& rows, const QDateTime& from,
              const QDateTime& to, const QDateTime& watchedSince, QString* error) {
    return write(path, host, rows, from, to, watchedSince, {}, nullptr, {}, error);
}

bool writePdf(const QString& path, const Source& source, QString* error) {
    return write(path, inet::hostLabel(source.host, source.address), source.rows, source.from, source.to,
                 source.watchedSince, source.remarks, &source.echoes, probingText(source), error);
}

} // namespace report
