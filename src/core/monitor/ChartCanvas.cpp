#include "ChartCanvas.h"

#include "ChartColumns.h"

#include <algorithm>
#include <cmath>

ChartCanvas::ChartCanvas(QSize size) : m_image(size, QImage::Format_RGB32), m_device(size, QImage::Format_RGB32) {
    m_image.fill(Qt::white);
    m_device.fill(Qt::white);
}

int ChartCanvas::deviceEdge(int v) const {
    return static_cast<int>(std::lround(v * devicePixelRatio()));
}

void ChartCanvas::fillDevice(int x, int top, int bottom, QRgb colour) {
    // Logical pixel v spans device pixels deviceEdge(v) .. deviceEdge(v + 1) - 1:
    // neighbours share an edge, so columns and rows tile without gap or overlap.
    const int left = deviceEdge(x);
    const int right = std::min(deviceEdge(x + 1), m_device.width());
    const int end = std::min(deviceEdge(bottom + 1), m_device.height());
    for (int y = deviceEdge(top); y < end; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(m_device.scanLine(y));
        std::fill(line + left, line + right, colour);
    }
}

void ChartCanvas::drawDevice() {
    for (int x = 0; x < Width(); ++x) {
        int top = 0;
        while (top < Height()) {
            const QRgb colour = m_image.pixel(x, top);
            int bottom = top;
            while (bottom + 1 < Height() && m_image.pixel(x, bottom + 1) == colour)
                ++bottom;
            fillDevice(x, top, bottom, colour);
            top = bottom + 1;
        }
    }
}

void ChartCanvas::setDevicePixelRatio(qreal ratio) {
    if (!(ratio > 0) || ratio == devicePixelRatio())
        return;
    const QSize size(static_cast<int>(std::lround(Width() * ratio)), static_cast<int>(std::lround(Height() * ratio)));
    m_device = QImage(size, QImage::Format_RGB32);
    m_device.setDevicePixelRatio(ratio);
    drawDevice();
}

void ChartCanvas::StartupFill() {
    m_image.fill(Navy);
    const int w = Width();
    const int h = Height();
    for (int x = 0; x < w; ++x) {
        m_image.setPixel(x, 0, Black);
        m_image.setPixel(x, h - 1, Black);
    }
    for (int y = 0; y < h; ++y) {
        m_image.setPixel(0, y, Black);
        m_image.setPixel(w - 1, y, Black);
    }
    drawDevice();
}

void ChartCanvas::DrawColumn(int x, int h, QRgb colour) {
    if (x < 0 || x >= Width())
        return;
    // From (x, Height) up to (x, Height - h), end point excluded.
    const int top = std::max(Height() - h + 1, 0);
    for (int y = Height() - 1; y >= top; --y)
        m_image.setPixel(x, y, colour);
    if (top < Height())
        fillDevice(x, top, Height() - 1, colour);
}

void ChartCanvas::WaitingStep(int chartColumn, int waitTicks) {
    DrawColumn(chartColumn + waitTicks, Height(), Red);
}

int ChartCanvas::BarHeight(bool answered, std::uint32_t roundTrip, int timeout, int height) {
    if (!answered || timeout <= 0)
        return height;
    const long double share = static_cast<long double>(roundTrip) / timeout;
    const long double scaled = share * height;
    // nearbyint rounds halves to the even neighbour in the default mode.
    const int h = static_cast<int>(std::min(std::nearbyintl(scaled), static_cast<long double>(1 << 30)));
    return std::max(h, 2);
}

void ChartCanvas::ReplyStep(int& chartColumn, int& waitTicks, bool answered, std::uint32_t roundTrip, int timeout) {
    const int h = BarHeight(answered, roundTrip, timeout, Height());
    for (int x = chartColumn; x <= chartColumn + waitTicks; ++x) {
        DrawColumn(x, Height(), Navy);
        DrawColumn(x, h, Teal);
    }
    chartcolumns::advance(chartColumn, waitTicks, Width());
    DrawColumn(chartColumn, Height(), Red);
}
