#pragma once

// Painting into images and reading them back, shared by the style's painting tests.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QWidget>

namespace PaintProbe
{

inline const QColor transparent(0, 0, 0, 0);
inline const QColor buttonText(167, 175, 190);
inline const QColor accent(0, 147, 221);

inline QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A blank image of the given size with `paint(QPainter&)` applied to it.
template <typename Paint> QImage painted(int width, int height, Paint paint)
{
    QImage image = blank(width, height);
    QPainter painter(&image);
    paint(painter);
    painter.end();
    return image;
}

inline int countColour(const QImage& image, const QColor& colour, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// Only the pixels of `colour`, everything else transparent: two of these compare equal when the
// colour was painted on exactly the same pixels.
inline QImage only(const QImage& image, const QColor& colour)
{
    QImage mask = blank(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                mask.setPixelColor(x, y, colour);
    return mask;
}

// The smallest rectangle holding every pixel of `colour`; null when there is none.
inline QRect box(const QImage& image, const QColor& colour)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                found |= QRect(x, y, 1, 1);
    return found;
}

// A row of a vertical gradient as the style paints it: the top colour's hue and saturation
// with the row's own value (HSV, 0 to 255), as it lands in an 8-bit image. The tests give the
// value of each row they probe, worked out from the gradient's documented steps.
inline QColor gradientRow(const QColor& top, int value)
{
    return QColor(QColor::fromHsv(top.hsvHue(), top.hsvSaturation(), value).rgb());
}

inline QImage grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace PaintProbe
