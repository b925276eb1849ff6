#include "outputnames.h"

#include <QRegularExpression>

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

} // namespace OutputFiles
