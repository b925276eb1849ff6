#pragma once

#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

// Reads one of the style's compiled-in images. For a ".png" name the format is given and
// detection is off: otherwise Qt loads every image-format plugin to ask whether it claims the
// file before it falls back to its own PNG reader, which costs start-up several milliseconds
// for images that are always PNG. Other names are read as Qt detects them.
inline QImage readStyleImage(const QString& path)
{
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return QImage(path);
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

inline QPixmap readStylePixmap(const QString& path)
{
    return QPixmap::fromImage(readStyleImage(path));
}
