#include "catalogue.h"

#include <algorithm>

std::vector<ImageEntry> imageCatalogue()
{
    std::vector<ImageEntry> entries;
    addStylePieces(entries);
    addGlyphs(entries);
    addMediaImages(entries);
    return entries;
}

QByteArray toUyvy(const QImage& source)
{
    // Studio-range BT.601 over black; each pair of pixels shares one U and one V sample.
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray frame;
    frame.reserve(image.width() * image.height() * 2);
    const auto clamp = [](double value) { return char(std::clamp(int(value + 0.5), 0, 255)); };
    for (int y = 0; y < image.height(); ++y)
    {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x + 1 < image.width(); x += 2)
        {
            double luma[2];
            double u = 0;
            double v = 0;
            for (int i = 0; i < 2; ++i)
            {
                const double r = qRed(line[x + i]);
                const double g = qGreen(line[x + i]);
                const double b = qBlue(line[x + i]);
                luma[i] = 16 + (65.738 * r + 129.057 * g + 25.064 * b) / 256;
                u += 128 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256;
                v += 128 + (112.439 * r - 94.154 * g - 18.285 * b) / 256;
            }
            frame.append(clamp(u / 2));
            frame.append(clamp(luma[0]));
            frame.append(clamp(v / 2));
            frame.append(clamp(luma[1]));
        }
    }
    return frame;
}
