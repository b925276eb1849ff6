#include "validitylog.h"

#include "diagnosticsink.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>

QString ValidityLog::filePath(const QDate& day)
{
    return QDir::currentPath() + QStringLiteral("/Talvane_") + day.toString(QStringLiteral("yyyy-MM-dd")) +
           QStringLiteral(".log");
}

bool ValidityLog::append(const QString& message)
{
    const QDateTime now = QDateTime::currentDateTime();
    // One write of the whole line: a record is either appended completely or reported lost.
    const QByteArray record =
        (now.toString(Qt::TextDate) + QStringLiteral(" : ") +
         QStringLiteral("TalvaneWidget::checkValidity(): ") + message.simplified() + QLatin1Char('\n'))
            .toUtf8();

    QFile file(filePath(now.date()));
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    if (written)
    {
        written = file.write(record) == record.size();
        // A full disk only shows when the buffer goes out.
        written = file.flush() && written;
        file.close();
    }
    if (!written)
    {
        PrintDiagnostic("TalvaneWidget::checkValidity(): Could not write log file!");
    }
    return written;
}
