#include "values.h"

std::optional<qint64> parseWholeNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 19)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool fits = false;
    const qint64 number = text.toLongLong(&fits);
    if (!fits)
        return std::nullopt;
    return number;
}

std::optional<QDateTime> parseTime(const QString& text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(time.toSecsSinceEpoch(), Qt::UTC);
}

std::optional<qint64> parseDays(const QString& text, qint64 least)
{
    const auto days = parseWholeNumber(text);
    if (!days || *days < least)
        return std::nullopt;
    return days;
}

QString printed(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}
