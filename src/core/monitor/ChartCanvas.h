#pragma once

#include <QImage>

#include <cstdint>

// The response-time strip chart, drawn on an image: one bar per echo whose
// height is the round trip as a share of the time-out, a red cursor that
// sweeps from left to right, and red waiting lines while an echo is out.
// Lines are one pixel wide and, like the classic line drawing, leave out
// their end point.
//
// The chart is kept twice. image() has one pixel per column and row: the
// chart's model, which every step draws on and which the rest of the program
// reads. deviceImage() is the same chart at the screen's pixel density, for
// the window to show 1:1 on the screen's own pixels: each logical pixel
// covers whole device pixels, so bars keep hard edges at any ratio. A new
// ratio draws the device image anew from the model.
class ChartCanvas {
public:
    static constexpr QRgb Navy = 0xFF000080;
    static constexpr QRgb Teal = 0xFF008080;
    static constexpr QRgb Red = 0xFFFF0000;
    static constexpr QRgb Black = 0xFF000000;

    explicit ChartCanvas(QSize size = QSize(345, 97));

    const QImage& image() const { return m_image; }
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }

    // The chart in device pixels, with the ratio set on the image.
    const QImage& deviceImage() const { return m_device; }
    qreal devicePixelRatio() const { return m_device.devicePixelRatio(); }
    // Sizes the device image for `ratio` and draws it from the model;
    // nothing when the ratio is the one already in use.
    void setDevicePixelRatio(qreal ratio);

    // Navy field with a one-pixel black frame.
    void StartupFill();
    // One line in column x, h pixels up from the bottom edge: rows
    // Height - 1 up to Height - h + 1 (h - 1 pixels), clipped to the image.
    void DrawColumn(int x, int h, QRgb colour);
    // A red line at the column the waiting has reached.
    void WaitingStep(int chartColumn, int waitTicks);
    // Paints the bar of one reply over columns chartColumn .. chartColumn +
    // waitTicks, moves the cursor on (wrapping after Width), clears
    // waitTicks and draws the cursor.
    void ReplyStep(int& chartColumn, int& waitTicks, bool answered, std::uint32_t roundTrip, int timeout);

    // round(roundTrip / timeout * height), halves to even, at least 2; the
    // full height for a lost echo.
    static int BarHeight(bool answered, std::uint32_t roundTrip, int timeout, int height);

private:
    // The device pixel where logical coordinate v begins.
    int deviceEdge(int v) const;
    // Fills, in the device image, the device pixels of the logical pixels
    // x, top .. bottom.
    void fillDevice(int x, int top, int bottom, QRgb colour);
    // Draws the whole device image from the model, column by column.
    void drawDevice();

    QImage m_image;
    QImage m_device;
};
