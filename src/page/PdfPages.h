#pragma once

#include "PageComposer.h"

#include <QPainter>
#include <QPdfWriter>
#include <QRectF>
#include <QSaveFile>
#include <QString>

#include <memory>

namespace page {

// The running header of every page after the first: a title on the left,
// a note (the version, the period) on the right, a rule below.
struct RunningHead {
    QString left;
    QString right;
};

// A PDF of A4 pages in the house style, written to a file that is only
// replaced once it is complete. Open it, lay out on a PageComposer over
// body() (measuring with painter()), then finish().
class PdfPages {
public:
    PdfPages(const QString& path, const QString& title);
    ~PdfPages();
    PdfPages(const PdfPages&) = delete;
    PdfPages& operator=(const PdfPages&) = delete;

    // False when the file cannot be written; error() says why.
    bool isOpen() const { return m_painter.isActive(); }
    QString error() const { return m_error; }

    QPdfWriter& device() { return *m_writer; }
    QPainter& painter() { return m_painter; } // active on device() while open
    QSizeF sheet() const;
    QRectF body() const;

    // Draws every page of `pages` in its frame and replaces the file.
    bool finish(const PageComposer& pages, const RunningHead& head);

private:
    bool failed(const QString& message);

    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    QString m_error;
};

} // namespace page
