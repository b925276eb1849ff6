// Draws the style's images into a folder, laid out as the resource file lists them:
//
//   talvane_imagegen OUTPUT_DIR
//
// Nothing here needs a display or fonts, so the images come out the same on every machine.
#include "catalogue.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace
{

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    if (!output.mkpath(QStringLiteral("data/style")))
    {
        std::fprintf(stderr, "cannot create %s/data/style\n", argv[1]);
        return 1;
    }

    int written = 0;
    for (const ImageEntry& entry : imageCatalogue())
    {
        const QString path = output.filePath(entry.path);
        const QImage image = entry.draw();
        // Written through a temporary file so that an interrupted run leaves no broken image.
        QSaveFile file(path);
        if (image.isNull() || !file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        ++written;
    }
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
