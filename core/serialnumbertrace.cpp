#include "serialnumbertrace.h"

#include "diagnosticsink.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

QString serialNumberTracePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".\\serialNumberTrace");
#else
    // A backslash inside a POSIX file name would be part of the name, not a separator.
    return QStringLiteral("serialNumberTrace");
#endif
}

bool ReadSerialNumberTrace(qint64& serial)
{
    const QString path = serialNumberTracePath();
    PrintDiagnostic((QFileInfo(path).absoluteFilePath().toLocal8Bit() + '\n').constData());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    serial = static_cast<qint64>(file.readLine().toULongLong(nullptr, 10));
    return true;
}

bool WriteSerialNumberTrace(qint64 serial)
{
    // QSaveFile renames the new file over the old one only once it is complete, so a crash
    // while writing cannot lose the last serial number. Where the folder takes no new file but
    // the trace can be written, it is written in place: a number not recorded would be issued
    // twice.
    QSaveFile file(serialNumberTracePath());
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray digits;
    digits.setNum(static_cast<qulonglong>(serial));
    if (file.write(digits) != digits.size())
    {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
