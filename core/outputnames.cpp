#include "outputnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>
#include <system_error>

namespace
{

QString fileIdentity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath(); // empty for a name that does not exist
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Two existing names are one file when they share device and inode: a hard link in another
// folder is the same file as much as a symbolic link is. A name not there yet is compared by path.
bool sameFile(const QString& a, const QString& b)
{
    namespace fs = std::filesystem;
    std::error_code error;
#ifdef Q_OS_WIN
    const fs::path first(a.toStdWString());
    const fs::path second(b.toStdWString());
#else
    const fs::path first(QFile::encodeName(a).toStdString());
    const fs::path second(QFile::encodeName(b).toStdString());
#endif
    if (fs::exists(first, error) && fs::exists(second, error))
        return fs::equivalent(first, second, error);
    return fileIdentity(a) == fileIdentity(b);
}

} // namespace

namespace OutputFiles
{

QString pemFileName(const QString& destination)
{
    QString name = destination;
    if (name.endsWith(QLatin1String(".pfx")))
        name = name.section(QLatin1Char('.'), 0, -2) + QLatin1String(".pem");
    if (!name.endsWith(QLatin1String(".pem")))
        name += QLatin1String(".pem");
    return name;
}

QString pkcs12FileName(const QString& pemName)
{
    QString base = pemName.left(pemName.lastIndexOf(QLatin1Char('.')));
    static const QRegularExpression separator(QStringLiteral("[/\\\\]"));
    const int lastSeparator = base.lastIndexOf(separator);
    const int lastDot = base.lastIndexOf(QLatin1Char('.'));
    if (lastDot >= 0 && lastDot > lastSeparator)
        base.truncate(lastDot);
    return base + QLatin1String(".pfx");
}

bool overwrites(const QString& destination, const QString& existing)
{
    const QString pemName = pemFileName(destination);
    return sameFile(pemName, existing) || sameFile(pkcs12FileName(pemName), existing);
}

} // namespace OutputFiles
