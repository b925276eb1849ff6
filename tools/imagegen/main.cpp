// Draws the style's images into a folder, laid out as the resource file lists them, or the
// application icon into an icon theme's folder layout:
//
//   talvane_imagegen OUTPUT_DIR
//   talvane_imagegen --icons OUTPUT_DIR
//
// Nothing here needs a display or fonts, so the images come out the same on every machine.
#include "catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <cstring>

namespace
{

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Returns the number of images written, or -1 after saying which one failed.
int writeImages(const QDir& output, const std::vector<ImageEntry>& entries)
{
    int written = 0;
    for (const ImageEntry& entry : entries)
    {
        const QString path = output.filePath(entry.path);
        const QImage image = entry.draw();
        // Written through a temporary file so that an interrupted run leaves no broken image.
        QSaveFile file(path);
        if (image.isNull() || !output.mkpath(QFileInfo(entry.path).path()) ||
            !file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return -1;
        }
        ++written;
    }
    return written;
}

int writeStyleImages(const QDir& output)
{
    int written = writeImages(output, imageCatalogue());
    if (written < 0)
        return 1;
    const QString yuv = output.filePath(QStringLiteral("data/not_supported.yuv"));
    if (!writeFile(yuv, toUyvy(notSupportedCard())))
    {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(yuv));
        return 1;
    }
    ++written;
    std::printf("%d files in %s\n", written, qPrintable(output.absolutePath()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    if (argc != 2 && !icons)
    {
        std::fprintf(stderr, "usage: %s [--icons] OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[argc - 1]));
    if (!icons)
        return writeStyleImages(output);
    const int written = writeImages(output, applicationIcons());
    if (written < 0)
        return 1;
    std::printf("%d icons in %s\n", written, qPrintable(output.absolutePath()));
    return 0;
}
