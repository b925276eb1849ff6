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

// Row k of a vertical gradient of `rows` rows from `top` towards `bottom`, worked out
// independently of the style: value steps in HSV, as it lands in an 8-bit image.
inline QColor gradientRow(const QColor& top, const QColor& bottom, int rows, int k)
{
    int hue = 0;
    int saturation = 0;
    int value = 0;
    top.getHsv(&hue, &saturation, &value);
    return QColor(
        QColor::fromHsv(hue, saturation, value - ((value - bottom.value()) * (rows - k)) / rows).rgb());
}

inline QImage grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace PaintProbe
