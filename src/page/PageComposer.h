#pragma once

#include <QList>
#include <QRectF>

#include <functional>

class QPagedPaintDevice;
class QPainter;

// Pages laid out in full before any is drawn, so that every page can say how
// many there are. Content is placed top down in the body area of the page;
// what does not fit on a page goes to the next.
class PageComposer {
public:
    using Draw = std::function<void(QPainter& painter)>;
    // The frame around a page's body: running header, "Page N of M".
    using Frame = std::function<void(QPainter& painter, int index, int count)>;

    explicit PageComposer(const QRectF& body) : m_body(body), m_y(body.top()) { m_pages.append(QList<Draw>()); }

    const QRectF& body() const { return m_body; }
    // Where the next content goes, and the room left below it on the page.
    double y() const { return m_y; }
    double room() const { return m_body.bottom() - m_y; }
    int pageCount() const { return static_cast<int>(m_pages.size()); }

    void newPage();
    // A new page unless `height` still fits on this one; true when it broke.
    bool ensureRoom(double height);
    // Drawing on the current page; `advance` moves down past it.
    void add(Draw draw) { m_pages.last().append(std::move(draw)); }
    void advance(double height) { m_y += height; }

    // Draws every page on the painter, which is active on `device`.
    void paint(QPainter& painter, QPagedPaintDevice& device, const Frame& frame) const;

private:
    QRectF m_body;
    double m_y;
    QList<QList<Draw>> m_pages;
};
