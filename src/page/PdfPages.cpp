#include "PdfPages.h"

#include "PageStyle.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

namespace page {

namespace {

// The frame around page `index` of `count`: the running header from the
// second page on, "Page N of M" centred in the footer.
void drawFrame(QPainter& painter, const QSizeF& sheet, const QRectF& body, int index, int count,
               const RunningHead& head) {
    painter.save();
    painter.setFont(sans(8));
    painter.setPen(kQuiet);
    const QFontMetricsF metrics(painter.font(), painter.device());
    if (index > 0) {
        const double baseline = mm(kHeaderBaselineMm);
        painter.drawText(QPointF(body.left(), baseline), head.left);
        painter.drawText(QPointF(body.right() - metrics.horizontalAdvance(head.right), baseline), head.right);
        painter.setPen(QPen(kRule, mm(0.2)));
        painter.drawLine(QPointF(body.left(), baseline + mm(2)), QPointF(body.right(), baseline + mm(2)));
        painter.setPen(kQuiet);
    }
    const QString footer = QStringLiteral("Page %1 of %2").arg(index + 1).arg(count);
    painter.drawText(
        QPointF((sheet.width() - metrics.horizontalAdvance(footer)) / 2, sheet.height() - mm(kFooterBaselineMm)),
        footer);
    painter.restore();
}

} // namespace

PdfPages::PdfPages(const QString& path, const QString& title) : m_path(path), m_file(path) {
    if (!m_file.open(QIODevice::WriteOnly)) {
        failed(QStringLiteral("Cannot write %1: %2").arg(path, m_file.errorString()));
        return;
    }
    m_writer = std::make_unique<QPdfWriter>(&m_file);
    m_writer->setResolution(kDpi);
    m_writer->setPageSize(QPageSize(QPageSize::A4));
    m_writer->setPageOrientation(QPageLayout::Portrait);
    m_writer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    m_writer->setTitle(title);
    m_writer->setCreator(QStringLiteral("Linkvigil"));
    if (!m_painter.begin(m_writer.get()))
        failed(QStringLiteral("Cannot start the PDF %1").arg(path));
}

PdfPages::~PdfPages() {
    if (m_painter.isActive())
        m_painter.end();
    m_file.cancelWriting(); // nothing once committed
}

QSizeF PdfPages::sheet() const {
    return m_writer ? QSizeF(m_writer->width(), m_writer->height()) : QSizeF();
}

QRectF PdfPages::body() const {
    const QSizeF size = sheet();
    return QRectF(mm(kMarginMm), mm(kMarginMm), size.width() - 2 * mm(kMarginMm),
                  size.height() - mm(kMarginMm) - mm(kMarginBottomMm));
}

bool PdfPages::finish(const PageComposer& pages, const RunningHead& head) {
    if (!isOpen())
        return false;
    const QSizeF size = sheet();
    const QRectF frameBody = body();
    pages.paint(m_painter, *m_writer,
                [&](QPainter& p, int index, int count) { drawFrame(p, size, frameBody, index, count, head); });
    if (!m_painter.end())
        return failed(QStringLiteral("Cannot finish the PDF %1").arg(m_path));
    if (!m_file.commit())
        return failed(QStringLiteral("Cannot write %1: %2").arg(m_path, m_file.errorString()));
    return true;
}

bool PdfPages::failed(const QString& message) {
    m_error = message;
    if (m_painter.isActive())
        m_painter.end();
    m_file.cancelWriting();
    return false;
}

} // namespace page
