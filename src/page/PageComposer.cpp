#include "PageComposer.h"

#include <QPagedPaintDevice>
#include <QPainter>

void PageComposer::newPage() {
    m_pages.append(QList<Draw>());
    m_y = m_body.top();
}

bool PageComposer::ensureRoom(double height) {
    // A page that is still empty takes anything, or it would never fill.
    if (height <= room() || m_y <= m_body.top())
        return false;
    newPage();
    return true;
}

void PageComposer::paint(QPainter& painter, QPagedPaintDevice& device, const Frame& frame) const {
    for (int index = 0; index < pageCount(); ++index) {
        if (index > 0)
            device.newPage();
        for (const Draw& draw : m_pages.at(index)) {
            painter.save();
            draw(painter);
            painter.restore();
        }
        if (frame) {
            painter.save();
            frame(painter, index, pageCount());
            painter.restore();
        }
    }
}
