#include "catalogue.h"

#include <QHash>
#include <QPainter>

#include <array>

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage filled(int width, int height, const QColor& colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QImage verticalStrip(int width, int height, const QColor& top, const QColor& bottom)
{
    QImage image = canvas(width, height);
    for (int y = 0; y < height; ++y)
    {
        const double t = height > 1 ? double(y) / (height - 1) : 0.0;
        const QColor colour = QColor::fromRgbF(top.redF() + (bottom.redF() - top.redF()) * t,
                                               top.greenF() + (bottom.greenF() - top.greenF()) * t,
                                               top.blueF() + (bottom.blueF() - top.blueF()) * t,
                                               top.alphaF() + (bottom.alphaF() - top.alphaF()) * t);
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, colour);
    }
    return image;
}

namespace
{

using Glyph = std::array<const char*, 7>;

const QHash<QChar, Glyph>& glyphs()
{
    static const QHash<QChar, Glyph> table = {
        {QLatin1Char('A'), {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
        {QLatin1Char('D'), {"11110", "10001", "10001", "10001", "10001", "10001", "11110"}},
        {QLatin1Char('E'), {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
        {QLatin1Char('I'), {"01110", "00100", "00100", "00100", "00100", "00100", "01110"}},
        {QLatin1Char('N'), {"10001", "11001", "10101", "10011", "10001", "10001", "10001"}},
        {QLatin1Char('O'), {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
        {QLatin1Char('P'), {"11110", "10001", "10001", "11110", "10000", "10000", "10000"}},
        {QLatin1Char('R'), {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
        {QLatin1Char('S'), {"01111", "10000", "10000", "01110", "00001", "00001", "11110"}},
        {QLatin1Char('T'), {"11111", "00100", "00100", "00100", "00100", "00100", "00100"}},
        {QLatin1Char('U'), {"10001", "10001", "10001", "10001", "10001", "10001", "01110"}},
        {QLatin1Char('0'), {"01110", "10011", "10101", "10101", "10101", "11001", "01110"}},
        {QLatin1Char('1'), {"00100", "01100", "00100", "00100", "00100", "00100", "01110"}},
    };
    return table;
}

constexpr int glyphAdvance = 6; // five columns and one of spacing
constexpr int spaceAdvance = 4;

} // namespace

int pixelTextWidth(const QString& text, int scale)
{
    int width = 0;
    for (const QChar c : text)
        width += (c == QLatin1Char(' ') ? spaceAdvance : glyphAdvance) * scale;
    return width > 0 ? width - scale : 0;
}

void drawPixelText(QImage& image, int x, int y, const QString& text, const QColor& colour, int scale)
{
    QPainter painter(&image);
    for (const QChar c : text)
    {
        const auto glyph = glyphs().constFind(c);
        if (glyph == glyphs().constEnd())
        {
            x += spaceAdvance * scale;
            continue;
        }
        for (int row = 0; row < 7; ++row)
        {
            for (int column = 0; column < 5; ++column)
            {
                if ((*glyph)[row][column] == '1')
                    painter.fillRect(x + column * scale, y + row * scale, scale, scale, colour);
            }
        }
        x += glyphAdvance * scale;
    }
}
