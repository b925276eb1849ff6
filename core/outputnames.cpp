#include "outputnames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace
{

QString fileIdentity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath(); // empty for a name that does not exist
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
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
    const QString target = fileIdentity(existing);
    return fileIdentity(pemName) == target || fileIdentity(pkcs12FileName(pemName)) == target;
}

} // namespace OutputFiles
